#pragma once
// The ordered stream of a run's steps: each record read becomes one or more
// steps (a row to append, a LoTW job, a problem line, an ignored record), and
// the steps are told back to the engine in record order, each once every
// write before it is done. Writes go to the target on the writer's thread in
// hand-overs that are sealed when full or at the pump tick, whichever comes
// first, so a step waits for at most one tick of reading plus the writes
// ahead of it.
//
// Threads and ownership: the reading thread calls every member and hears
// every step told, on its own thread and from within these calls only. The
// writer thread (TargetWriter) runs the writes alone and owns the target
// while writes are under way; after Drain() the target is the reading
// thread's again. docs/architecture.md draws the whole path of a record.

#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <string>

#include "db/target.h"
#include "db/target_writer.h"
#include "import/report.h"

namespace tvx {

class WritePipeline {
  public:
    // One step of the stream.
    struct Step {
        enum class Kind { Write, Problem, Ignored };
        Kind kind = Kind::Problem;
        ProblemKind problem = ProblemKind::Error;
        // Problem: the report line. Write: the call.
        std::string text;
        // Write: the contact as a report line names it, and the records read
        // and left out when it was handed over, so that a run that ends at a
        // write ends at its record.
        std::string contact;
        int recordsRead = 0;
        int otherStationSkipped = 0;
    };

    class Listener {
      public:
        virtual ~Listener() = default;
        // A step is done: failure is null, or why its write failed. After a
        // failure of the whole target (anything but a plain DbError) the
        // steps behind it, and every step given later, are dropped untold. A throw passes to the
        // caller of the member that told the step.
        virtual void Told(const Step& step, const std::exception_ptr& failure) = 0;
    };

    // With ownThread false every write is made at once, as it is handed over.
    WritePipeline(ContactTarget& target, Listener& listener, bool ownThread);
    WritePipeline(const WritePipeline&) = delete;
    WritePipeline& operator=(const WritePipeline&) = delete;

    // A row or job to fill for Append and RunJob; they come back from the
    // writes done, so their texts keep the room they had.
    std::unique_ptr<QsoRow> TakeRow() { return writer_.TakeRow(); }
    std::unique_ptr<TargetWriter::Job> TakeJob() { return writer_.TakeJob(); }

    void Append(std::unique_ptr<QsoRow> row, Step step);
    void RunJob(std::unique_ptr<TargetWriter::Job> job, Step step);
    // A problem line or an ignored record: told at once when no write waits
    // before it.
    void Add(Step step);

    // The pump tick: the writes handed over since the last tick go to the
    // writer however few, and what is done is told.
    void Tick();
    // Hands the waiting writes over without telling anything.
    void Seal() { writer_.Seal(); }
    // Waits for every write and tells every step.
    void Drain();
    bool Idle() const { return waiting_.empty(); }

  private:
    struct Waiting {
        Step step;
        // A write's own ticket; else the last write before the step.
        std::uint64_t ticket = 0;
        bool write = false;
    };
    void Push(Step step, std::uint64_t ticket, bool write);
    // Tells the steps whose writes are done; with wait, after all are.
    void TellDone(bool wait);

    Listener& listener_;
    TargetWriter writer_;
    std::deque<Waiting> waiting_;
    std::uint64_t lastTicket_ = 0;
    bool broken_ = false;  // the whole target failed
};

}  // namespace tvx
