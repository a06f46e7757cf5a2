#pragma once
// The working contact that every reader fills for one source record, and the
// small conversions the readers share.

#include <string>
#include <string_view>

#include "util/text.h"

namespace tvx {

struct WorkingContact {
    std::string m_strCall, m_strPrefix, m_strDate, m_strTime, m_strEndTime, m_strFreq;
    std::string m_strBand, m_strMode, m_strState, m_strRstRcvd, m_strRstSent, m_strNote;
    std::string m_strGrid;
    int m_nConfirmed = 0;
    std::string m_strQslSentDate;
    int m_bYL = 0, m_bQRP = 0;
    std::string m_strIota, m_strCounty;
    int m_nAward = 0;
    std::string m_strCqZone, m_strTenTen, m_strSatName;
    std::string m_strQslVia = "5";
    std::string m_strWpx, m_strItuZone, m_strName, m_strQth, m_strSpec1, m_strSpec2;
    std::string m_strQslRcvdDate, m_strOprCall, m_strOwnCall, m_strPower, m_strSatMode;
    int m_bQslSent = 0, m_bUser1 = 0, m_bUser2 = 0, m_nSelect = 0;
    int m_nValid = -1;
    std::string m_strMgrNumber = "1";
    std::string m_strQslNumber, m_strConfirm, m_strQslsStatus, m_strSubmode;
    std::string m_strLotwRcvdDate, m_strSection, m_strNote2;

    // Every member back to its reset value.
    void ClearContact();
    // A report the source left empty becomes the mode's default report.
    void FillDefaultReports();
    // Sets m_strBand; false on success, true when the name is unknown (the
    // band is then left unchanged).
    bool BandCodeFromName(const std::string& name);
    // Sets m_strMode (and m_strSubmode for unlisted names). Needs the band.
    void ModeCodeFromName(const std::string& name);
};

// The C library's leading-digits conversion (atoi): leading blanks, a sign,
// digits; 0 when there are none. Never overflows.
long LeadingInt(std::string_view text);

// True when the date is NOT a calendar date (the caller reports "Date?").
bool CheckDate(const std::string& date);
bool IsValidTime(const std::string& time);
bool IsYearBefore1975(const std::string& date);
std::string BandFromFrequency(const std::string& freqKhz);
int StatisticsModeColumn(const std::string& mode);
// Cuts the next token off line at any of delims; trims the token.
void NextToken(std::string& out, std::string& line, std::string_view delims);
void DropFirstChar(std::string& text);
std::string BandName(long code);
// The note of the ADIF family: the source's comment and extra note, then the
// form's default note, within 50 characters.
void ComposeNote(WorkingContact& c, const std::string& defaultNote);
std::string ModeName(long code);

}  // namespace tvx
