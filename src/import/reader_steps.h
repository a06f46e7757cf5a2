#pragma once
// What a reader may do during a run: fill the working contact record by
// record, report problems and notices, say how far it is, and hand each
// converted record on. The engine behind it does the checks, the
// completion and the writes; a reader knows nothing of the target.

#include <cstdint>
#include <string>
#include <unordered_map>

#include "import/contact.h"
#include "import/host.h"
#include "import/messages.h"
#include "import/options.h"
#include "import/source_type.h"

namespace tvx {

class ReaderSteps {
  public:
    virtual WorkingContact& contact() = 0;
    virtual const ImportOptions& options() const = 0;
    virtual const SourceType& sourceType() const = 0;
    const std::string& sourcePath() const { return options().sourcePath; }

    // The record steps: clear the contact, pump, the abort question when Stop
    // was chosen, count the record read. False: leave the record loop.
    virtual bool NextRecord() = 0;
    // Pump and the abort question only. False: leave the loop.
    virtual bool PumpAndCheckAbort() = 0;
    // Counts a record read, for sources whose records span lines.
    virtual void CountRecordRead() = 0;
    // The reader's position in its source (bytes or rows) out of total; the
    // host hears of it at most every few milliseconds, and always of the end.
    virtual void ReportPosition(std::int64_t done, std::int64_t total) = 0;
    // The reader is done with its source (or gave up on it).
    virtual void StopReading() = 0;
    virtual bool Reading() const = 0;

    // Reports a problem with the working contact as it stands.
    virtual void ReportError(const std::string& problem) = 0;
    virtual void ReportWarning(const std::string& problem) = 0;
    // Message boxes of the string table.
    virtual void Notify(int messageId, MessageIcon icon) = 0;
    virtual void NotifyText(int messageId, const std::string& text, MessageIcon icon) = 0;

    // 1 when the county exists, 0 when not.
    virtual int LookupCounty(const std::string& state, const std::string& county) = 0;
    // The country prefix of each DXCC entity number of the prefix table.
    virtual std::unordered_map<std::string, std::string> PrefixesByDxccEntity() const = 0;

    // The record's contact is converted: the checks of its source type, then
    // completion, the filter and the write. Every reader ends each record it
    // converted with this, and only those.
    virtual void FinishRecord() = 0;

  protected:
    ~ReaderSteps() = default;
};

// Reports an error and returns false, for `return Fail(s, "Call?");`.
inline bool Fail(ReaderSteps& s, const char* problem) {
    s.ReportError(problem);
    return false;
}

// Reports "Mode?" for a record without a mode (its mode shows as "noMode")
// and returns false, for `return FailNoMode(s);`.
inline bool FailNoMode(ReaderSteps& s) {
    s.contact().m_strMode = "noMode";
    s.ReportError("Mode?");
    return false;
}

}  // namespace tvx
