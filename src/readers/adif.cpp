// The ADIF reader, for standard ADIF files and LoTW downloads.

#include "readers/adif.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "readers/adif_fields.h"
#include "readers/readers.h"
#include "readers/text_common.h"

namespace tvx {
namespace {

// A field longer than a line of the text readers may hold is no contact
// data; it is left out with this warning, and the record goes on.
constexpr const char* kFieldTooLong = "Field too long?";

bool IsLotwMarkLine(const std::string& line) {
    return line.find("<PROGRAMID:4>LoTW") != std::string::npos ||
           line.find("<APP_LoTW_") != std::string::npos;
}

bool IsEndOfHeaderLine(const std::string& line) {
    return line.find("<EOH>") != std::string::npos || line.find("<eoh>") != std::string::npos;
}

// The declared length of a tag such as "STATE:2" or "QSO_DATE:8:D"; -1 when
// the tag declares none.
long DeclaredLength(std::string_view specifier) {
    const std::size_t colon = specifier.find(':');
    if (colon == std::string_view::npos) return -1;
    std::string_view digits = specifier.substr(colon + 1);
    const std::size_t end = digits.find(':');
    if (end != std::string_view::npos) digits = digits.substr(0, end);
    if (digits.empty() || digits.size() > 9) return -1;
    long n = 0;
    for (const char ch : digits) {
        if (!std::isdigit(static_cast<unsigned char>(ch))) return -1;
        n = n * 10 + (ch - '0');
    }
    return n;
}

// Above 300 GHz is no radio frequency: such a value was written in another
// unit (web loggers write hertz), and storing it would spoil the column.
bool IsBeyondRadio(std::string_view khz) {
    constexpr std::string_view kHighestKhz = "300000000";
    std::string_view whole = khz.substr(0, khz.find('.'));
    while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
    if (!IsAllDigits(whole)) return false;
    return whole.size() > kHighestKhz.size() ||
           (whole.size() == kHighestKhz.size() && whole > kHighestKhz);
}

// An ARRL section of New York, New Jersey, ... gives its state.
constexpr std::pair<std::string_view, std::string_view> kSections[] = {
    {"ENY", "NY"}, {"WNY", "NY"}, {"NLI", "NY"}, {"NNJ", "NJ"}, {"NNY", "NY"}, {"SNJ", "NJ"},
    {"EMA", "MA"}, {"WMA", "MA"}, {"MDC", "MD"}, {"DC", "MD"},  {"NFL", "FL"}, {"EPA", "PA"},
    {"WPA", "PA"}, {"EB", "CA"},  {"LAX", "CA"}, {"ORG", "CA"}, {"SB", "CA"},  {"SCV", "CA"},
    {"SDG", "CA"}, {"SF", "CA"},  {"SJV", "CA"}, {"SV", "CA"},  {"SFL", "FL"}, {"WCF", "FL"},
    {"NTX", "TX"}, {"STX", "TX"}, {"WTX", "TX"}, {"ORE", "OR"}, {"EWA", "WA"}, {"WWA", "WA"},
};

bool IsTwoDigitsInRange(const std::string& zone, int highest) {
    if (zone.size() != 2 || !std::isdigit(static_cast<unsigned char>(zone[0])) ||
        !std::isdigit(static_cast<unsigned char>(zone[1]))) {
        return false;
    }
    const int value = (zone[0] - '0') * 10 + (zone[1] - '0');
    return value >= 1 && value <= highest;
}

void SetIfNotEmpty(QsoRow& row, QsoCol col, const std::string& value) {
    if (!value.empty()) row.setText(col, value);
}

// A record may span lines and a line may hold several records: the contact
// keeps its fields until the end-of-record tag.
void ReadRecordLine(ImportSession& s, const TextLine& piece) {
    if (piece.tooLong) {
        s.ReportWarning(kFieldTooLong);
        return;
    }
    const std::string text = Trim(piece.text);
    std::string_view line = text;
    while (!line.empty()) {
        if (line.front() == '<') line.remove_prefix(1);
        const std::size_t next = line.find('<');
        const std::string segment(line.substr(0, next));
        line = next == std::string_view::npos ? std::string_view() : line.substr(next);
        if (ParseAdifSegment(s, segment) == 1) FinishAdifRecord(s);
    }
}

}  // namespace

void BuildDxccPrefixMap(ImportSession& s) {
    auto map = std::make_unique<std::unordered_map<std::string, std::string>>();
    for (const CTvx95PrefixSet& row : s.reference().prefixRows()) {
        (*map)[row.m_ARRL_ID] = row.m_PREFIX;
    }
    s.m_pDxccPrefixMap = std::move(map);
}

void ReleaseDxccPrefixMap(ImportSession& s) {
    s.m_pDxccPrefixMap.reset();
}

void LookupDxccPrefix(ImportSession& s, const std::string& dxcc) {
    if (!s.m_pDxccPrefixMap) return;
    const auto it = s.m_pDxccPrefixMap->find(dxcc);
    if (it != s.m_pDxccPrefixMap->end()) s.m_strPrefix = Left(it->second, 4);
}

int ParseAdifSegment(ImportSession& s, const std::string& segment) {
    const std::string text = TrimRight(segment);
    const std::size_t colon = text.find(':');
    const std::string name = ToUpper(std::string_view(text).substr(0, colon));
    if (name == "EOR>") return 1;
    const std::size_t close = text.find('>');
    std::string value;
    std::string_view specifier = text;
    if (close != std::string::npos) {
        value = text.substr(close + 1);
        specifier = std::string_view(text).substr(0, close);
    }
    // LoTW writes a comment after the value, inside the tag's declared length
    // ("<STATE:2>OK // Oklahoma"): the length is what the value is.
    const long declared = DeclaredLength(specifier);
    if (declared >= 0 && CharCount(value) > static_cast<std::size_t>(declared)) {
        value = TrimRight(Left(value, static_cast<std::size_t>(declared)));
    }
    // A NUL would end the text in most programs that show it later.
    std::erase(value, '\0');
    ApplyAdifField(s, name, value);
    return 0;
}

void ReadAdifFile(ImportSession& s) {
    // Pieces of a long line are cut before a tag, so a file written as one
    // line is read whole with bounded memory.
    TextLineReader reader('<', true);
    if (!reader.Open(s.m_strSourcePath)) {
        s.Notify(kMsgSourceFileNotOpen, MessageIcon::Stop);
        s.m_bImporting = 0;
        return;
    }
    reader.SetPump([&s] { return s.PumpAndCheckAbort(); });

    TextLine line;
    bool haveLine = false;
    while (reader.Next(line)) {
        if (!line.text.empty()) {
            haveLine = true;
            break;
        }
    }
    if (!haveLine) {
        if (!ReportReadError(s, reader) && s.m_bImporting != 0) {
            s.Notify(kMsgSourceEmpty, MessageIcon::None);
        }
        s.m_bImporting = 0;
        return;
    }

    bool lotw = false;
    bool firstLineIsData = line.text.starts_with('<');
    if (!firstLineIsData) {
        do {
            if (IsLotwMarkLine(line.text)) lotw = true;
            if (IsEndOfHeaderLine(line.text)) break;
        } while (reader.Next(line));
        if (ReportReadError(s, reader)) {
            s.m_bImporting = 0;
            return;
        }
    }

    if (s.m_nSourceType == 0 && lotw) {
        s.Notify(kMsgLotwFileAsStandard, MessageIcon::Stop);
        s.m_bImporting = 0;
        return;
    }
    if (s.m_nSourceType == 1 && !lotw) {
        s.Notify(kMsgNotLotwFile, MessageIcon::Stop);
        s.m_bImporting = 0;
        return;
    }
    s.ClearContact();

    while (firstLineIsData || reader.Next(line)) {
        firstLineIsData = false;
        s.ReportPosition(reader.position(), reader.size());
        if (!s.PumpAndCheckAbort()) break;
        ReadRecordLine(s, line);
    }
    if (s.m_bImporting != 0) s.ReportPosition(reader.size(), reader.size());
    ReportReadError(s, reader);
    s.m_bImporting = 0;
}

void ImportAdif(ImportSession& s) {
    BuildDxccPrefixMap(s);
    ReadAdifFile(s);
}

void FinishAdifRecord(ImportSession& s) {
    s.CountRecordRead();
    if (s.m_strMode == "99") {
        s.m_strMode.clear();
        s.ReportError("Mode?");
        s.ClearContact();
        return;
    }
    if (s.m_strBand == "99") {
        s.m_strBand.clear();
        s.ReportError("Band?");
        s.ClearContact();
        return;
    }
    if (IsBeyondRadio(s.m_strFreq)) {
        s.ReportWarning("Freq?");
        s.m_strFreq.clear();
    }
    if (s.m_strBand.empty() && !s.m_strFreq.empty()) s.m_strBand = BandFromFrequency(s.m_strFreq);
    if (s.m_strMode == "89") ResolvePhoneSideband(s);
    if (!ValidateContact(s)) {
        s.ClearContact();
        return;
    }

    // The file's own country (DXCC or TVXPFX) wins when the prefix table
    // knows it.
    ResolutionRecord rec;
    const ResolveOutcome outcome =
        ResolveCallsignSteps(s.reference(), s.m_strCall, s.m_strDate, rec, &s.m_strPrefix);
    if (!outcome.found) {
        s.ReportError("Prefix?");
        s.ClearContact();
        return;
    }

    DropStateOutsideUs(s, rec);
    if (s.m_strState.empty()) {
        if (rec.prefix == "KH6") {
            s.m_strState = "HI";
        } else if (rec.prefix == "KL7") {
            s.m_strState = "AK";
        }
    }
    if (s.m_strState.empty() && !s.m_strSection.empty() && outcome.usCall) {
        s.m_strState = Left(SectionToState(s.m_strSection), 2);
    }
    if (!s.m_strState.empty() && s.LookupState(s.m_strState) == 1) {
        s.ReportWarning("State?");
        s.m_strState.clear();
    }
    if (s.m_strWpx.empty()) s.m_strWpx = DeriveWpxPrefix(s.m_strCall);

    if (s.ApplyBandModeFilter(rec, StatisticsModeColumn(s.m_strMode)) == 0) {
        s.CountRecordIgnored();
        s.ReportSampleIfDue();
        s.ClearContact();
        return;
    }

    bool loaded;
    std::int64_t rowId = 0;
    if (s.m_nSourceType == 1 && FindLotwDuplicate(s, rowId)) {
        loaded = ApplyLotwConfirmation(s, rowId);
    } else {
        loaded = s.WriteContact(rec);
    }
    if (loaded) s.CountRecordLoaded();
    s.ClearContact();
}

bool IsStatePrefix(const std::string& prefix) {
    return prefix == "K" || prefix == "KH6" || prefix == "KL7";
}

void ResolvePhoneSideband(ImportSession& s) {
    const std::string& band = s.m_strBand;
    s.m_strMode = (band == "8" || band == "9" || band == "10") ? "1" : "0";
}

bool ValidateContact(ImportSession& s) {
    if (CharCount(s.m_strCall) < 2) {
        s.ReportError("Call?");
        return false;
    }
    if (s.m_strBand.empty()) {
        s.m_strBand = "noBand";
        s.ReportError("Band?");
        return false;
    }
    if (s.m_strMode.empty()) {
        s.m_strMode = "noMode";
        s.ReportError("Mode?");
        return false;
    }
    if (CheckDate(s.m_strDate)) {
        s.ReportError("Date?");
        return false;
    }
    if (!IsValidTime(s.m_strTime)) {
        s.ReportError("Time?");
        return false;
    }
    if (!s.m_strEndTime.empty() && !IsValidTime(s.m_strEndTime)) {
        s.ReportWarning("Endtime?");
        s.m_strEndTime.clear();
    }
    const bool cwOrRtty = s.m_strMode.starts_with('2') || s.m_strMode.starts_with('5');
    const char* defaultRst = cwOrRtty ? "599" : "59";
    if (s.m_strRstSent.empty()) s.m_strRstSent = defaultRst;
    if (s.m_strRstRcvd.empty()) s.m_strRstRcvd = defaultRst;
    if (!s.m_strCqZone.empty() && !IsTwoDigitsInRange(s.m_strCqZone, 40)) s.m_strCqZone.clear();
    if (!s.m_strItuZone.empty() && !IsTwoDigitsInRange(s.m_strItuZone, 99)) {
        s.m_strItuZone.clear();
    }
    if (!s.m_strQslSentDate.empty() && CheckDate(s.m_strQslSentDate)) {
        s.ReportWarning("SDate?");
        s.m_strQslSentDate.clear();
    }
    if (s.m_strQslSentDate.empty() && s.m_bQslSentFromDate) s.m_strQslSentDate = s.m_strDate;
    if (!s.m_strQslRcvdDate.empty() && CheckDate(s.m_strQslRcvdDate)) {
        s.ReportWarning("RDate?");
        s.m_strQslRcvdDate.clear();
    }
    if (!s.m_strOwnCall.empty()) {
        // A download for another of the user's stations: left out, and
        // counted for the notice at the end of the run.
        if (!IsListedOprCall(s, s.m_strOwnCall)) {
            s.CountOtherStationSkipped();
            return false;
        }
        s.m_strOprCall = s.m_strOwnCall;
    }
    ComposeNote(s);
    s.m_strName = Left(s.m_strName, 15);
    s.m_strQth = Left(s.m_strQth, 25);
    s.m_strSpec1 = Left(s.m_strSpec1, 25);
    s.m_strSpec2 = Left(s.m_strSpec2, 25);
    // A state means something only for the US prefixes. Without a prefix
    // from the file the country is not known yet: judging the empty prefix
    // here would drop the state of every US contact, so the resolved prefix
    // decides after resolution (DropStateOutsideUs).
    if (!s.m_strState.empty() && !s.m_strPrefix.empty() && !IsStatePrefix(s.m_strPrefix)) {
        s.m_strState.clear();
    }
    return true;
}

void DropStateOutsideUs(ImportSession& s, const ResolutionRecord& rec) {
    if (!s.m_strState.empty() && !IsStatePrefix(rec.prefix)) s.m_strState.clear();
}

void ComposeNote(ImportSession& s) {
    const std::size_t n = CharCount(s.m_strNote);
    std::string text;
    if (!s.m_strNote2.empty()) {
        text =
            n + CharCount(s.m_strNote2) + 1 < 50 ? s.m_strNote2 + " " + s.m_strNote : s.m_strNote2;
    } else if (!s.m_strNote.empty() && n <= 50) {
        text = s.m_strNote;
    }
    if (CharCount(text) + CharCount(s.m_strDefaultNote) + 1 <= 50) {
        s.m_strNote = text + " " + s.m_strDefaultNote;
    } else {
        s.m_strNote = text;
    }
}

bool IsListedOprCall(const ImportSession& s, const std::string& call) {
    for (const std::string& entry : s.options().oprCalls) {
        if (entry.size() >= call.size() && EqualsNoCase(entry.substr(0, call.size()), call)) {
            return true;
        }
    }
    return false;
}

std::string SectionToState(const std::string& section) {
    for (const auto& [name, state] : kSections) {
        if (section == name) return std::string(state);
    }
    return section;
}

bool FindLotwDuplicate(ImportSession& s, std::int64_t& rowId) {
    auto found =
        s.target().FindContact({s.m_strCall, s.m_strDate, s.m_strTime, s.m_strMode, s.m_strBand});
    if (!found && s.m_strTime.size() == 6) {
        // LoTW keeps the seconds that many logs never had.
        s.m_strTime.replace(4, 2, "00");
        found = s.target().FindContact(
            {s.m_strCall, s.m_strDate, s.m_strTime, s.m_strMode, s.m_strBand});
    }
    if (!found) return false;
    rowId = *found;
    return true;
}

bool ApplyLotwConfirmation(ImportSession& s, std::int64_t rowId) {
    try {
        CImportSet& set = s.target();
        QsoRow row;
        if (!s.m_strPrefix.empty()) row.setText(kQsoPrefix, s.m_strPrefix);
        switch (LeadingInt(set.ReadText(rowId, kQsoConfirm))) {
            case 0:
            case 2:
                row.setText(kQsoConfirm, "2");
                break;
            case 1:
            case 3:
                row.setText(kQsoConfirm, "3");
                break;
            default:
                break;
        }
        SetIfNotEmpty(row, kQsoCounty, s.m_strCounty);
        SetIfNotEmpty(row, kQsoCqZone, s.m_strCqZone);
        SetIfNotEmpty(row, kQsoItuZone, s.m_strItuZone);
        SetIfNotEmpty(row, kQsoState, s.m_strState);
        SetIfNotEmpty(row, kQsoName, s.m_strName);
        SetIfNotEmpty(row, kQsoQth, s.m_strQth);
        SetIfNotEmpty(row, kQsoIota, s.m_strIota);
        SetIfNotEmpty(row, kQsoGrid, s.m_strGrid);
        SetIfNotEmpty(row, kQsoTenTen, s.m_strTenTen);
        if (s.m_strSpec1.empty()) s.m_strSpec1 = Trim(s.m_strDefaultSpec1);
        SetIfNotEmpty(row, kQsoSpec1, s.m_strSpec1);
        if (s.m_strSpec2.empty()) s.m_strSpec2 = Trim(s.m_strDefaultSpec2);
        SetIfNotEmpty(row, kQsoSpec2, s.m_strSpec2);
        SetIfNotEmpty(row, kQsoLotwRec, s.m_strQslRcvdDate);
        set.Update(rowId, row);
        return true;
    } catch (const DbTargetError&) {
        throw;  // the run ends: no later confirmation could be saved either
    } catch (const DbError& e) {
        s.ReportError(s.m_strCall + " " + e.what());
        return false;
    }
}

}  // namespace tvx
