#pragma once
// The rules a contact meets between its reader and the target, as plain
// functions of the contact, the run's options, the reference data and the
// source type. The engine calls them in this order for every record; tests
// call them alone, with tables and no database.

#include <atomic>
#include <functional>
#include <string>

#include "db/target.h"
#include "db/target_writer.h"
#include "import/contact.h"
#include "import/options.h"
#include "import/report.h"
#include "import/source_type.h"
#include "resolve/resolve.h"

namespace tvx {

// Where a rule reports a problem with the contact as it stands then.
using ProblemSink = std::function<void(ProblemKind kind, const std::string& problem)>;
// Whether the state table holds a state abbreviation.
using StateCheck = std::function<bool(const std::string& abbreviation)>;

enum class CheckVerdict {
    Load,
    // A check failed; the problem has been reported.
    Rejected,
    // A LoTW record of another of the user's stations: left out silently.
    OtherStation,
};

// The ADIF family's checks, with the fixes they make to the contact.
CheckVerdict CheckAdifContact(WorkingContact& c, const ImportOptions& options,
                              const ProblemSink& report);
// The dBASE tables' check: default reports, then the date.
CheckVerdict CheckTableContact(WorkingContact& c, const ProblemSink& report);

// What the source type's state rule makes of the state once the callsign
// gave the country. heldState: the source's state, for the rules that take
// it only now.
void ApplyStateRule(WorkingContact& c, StateRule rule, const ResolutionRecord& rec, bool usCall,
                    std::string heldState, const StateCheck& known, const ProblemSink& report);

// The band and mode filter against the statistics of the contact's prefix:
// true when the contact is to be loaded.
bool PassesFilter(const WorkingContact& c, int filter, const ResolutionRecord& rec,
                  ContactStatistics& statistics, const ProblemSink& report);

// The row of [QSO-TAB] for the contact, after the form's defaults and the
// host's rules have completed it.
void BuildQsoRow(WorkingContact& c, const ImportOptions& options, const SourceType& type,
                 const ResolutionRecord& rec, QsoRow& row);

// A write of one record failed; the report line names the contact as it was
// when the write was handed over.
class RecordWriteError : public DbError {
  public:
    RecordWriteError(const DbError& cause, std::string contact)
        : DbError(cause.what(), cause.code()), contact_(std::move(contact)) {}
    const std::string& contact() const { return contact_; }

  private:
    std::string contact_;
};

// A LoTW record as the writer needs it: the contact it may confirm, the
// columns a confirmation sets (the confirmation itself depends on the
// stored row), and the row added when no contact matches. On the writer,
// it confirms the oldest contact with its key, else the oldest with the
// seconds of the time as "00" (LoTW keeps the seconds that many logs never
// had), else it is added with those.
struct LotwJob : TargetWriter::Job {
    QsoKey key;
    QsoRow confirmation;
    QsoRow contact;
    // The contact as a report line names it, with the time as read and
    // with the seconds as "00" ("" when the time has no seconds).
    std::string asRead, secondsZero;
    // Counts of confirmed and added contacts (written on the writer's
    // thread, read after the run).
    std::atomic<int>* confirmed = nullptr;
    std::atomic<int>* added = nullptr;

    // A failed search ends the run (it is no fault of the record); a
    // failed write is the record's RecordWriteError.
    void Run(ContactTarget& target) override;
};

// Fills the job for the contact of a LoTW download (counters left as set).
void BuildLotwJob(WorkingContact& c, const ImportOptions& options, const SourceType& type,
                  const ResolutionRecord& rec, LotwJob& job);

}  // namespace tvx
