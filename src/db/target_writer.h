#pragma once
// Writes to a ContactTarget on a thread of its own, in the order the writes
// were given, so that the next records are read and completed while the
// storage engine works.
//
// Threads and ownership: one giver (the reading thread) calls every member;
// the writer thread only runs the writes. While writes are under way the
// target belongs to the writer thread alone; after Settle(), until the next
// Give, it is the giver's. Rows and jobs pass to the writer with Give and
// come back through TakeRow and TakeJob, so the giver allocates them all.
// docs/architecture.md draws the whole path of a record.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "db/target.h"

namespace tvx {

class TargetWriter {
  public:
    // How many writes may wait or be under way before Give waits.
    static constexpr std::uint64_t kDepth = 512;

    // A write that is more than one call of the target (a search, then a
    // change or an append), with what it needs; it throws as the target does.
    class Job {
      public:
        virtual ~Job() = default;
        virtual void Run(ContactTarget& target) = 0;
    };

    // With ownThread false every write is made at once, in Give.
    explicit TargetWriter(ContactTarget& target, bool ownThread = true);
    // Waits for the writes given, then ends the thread.
    ~TargetWriter();
    TargetWriter(const TargetWriter&) = delete;
    TargetWriter& operator=(const TargetWriter&) = delete;

    // A row to fill for Give, or a job to fill again (null when none is
    // done yet). They come back from the writes done: their texts keep the
    // room they had, and every allocation stays on the giver's thread.
    std::unique_ptr<QsoRow> TakeRow();
    std::unique_ptr<Job> TakeJob();

    // Gives an append, or a job; returns its ticket, counted from 1. Waits
    // while kDepth writes are not done.
    std::uint64_t Give(std::unique_ptr<QsoRow> row);
    std::uint64_t Give(std::unique_ptr<Job> job);
    // The tickets done so far, in order: each written, failed, or dropped
    // because the whole target failed before it.
    std::uint64_t Done() const { return done_.load(std::memory_order_acquire); }
    // Hands the waiting writes over now instead of when enough have come
    // (the engine does so at every pump tick, so that the outcomes of the
    // records behind them are told while the run goes on). Never waits.
    void Seal();
    // Waits until every write given is done. The target is then the
    // caller's to use directly until the next write is given.
    void Settle();
    // Why a done write failed; null when it was written. Asked of the
    // tickets in order. A failure of the whole target (DbTargetError, or
    // anything but a DbError) drops every write after it.
    std::exception_ptr FailureOf(std::uint64_t ticket);

  private:
    struct Write {
        std::uint64_t ticket = 0;
        std::unique_ptr<QsoRow> row;  // an append
        std::unique_ptr<Job> job;
    };
    std::uint64_t Give(Write w);
    // Keeps the row and job of a write done for TakeRow and TakeJob.
    void Return(Write& w);
    // The last of `spare`, when empty first taking what the writer returned.
    template <typename T>
    std::unique_ptr<T> TakeBack(std::vector<std::unique_ptr<T>>& spare,
                                std::vector<std::unique_ptr<T>>& done);
    void Loop();
    void Perform(Write& w);
    // Keeps the exception in hand as the failure of the ticket.
    void Fail(std::uint64_t ticket, bool wholeTarget);
    // Runs the waiting writes on the caller's thread; with mutex_ held and
    // the writer asleep.
    void PerformInbox();

    ContactTarget& target_;
    std::mutex mutex_;
    std::condition_variable wake_;      // the writer: work is waiting, or the end
    std::condition_variable progress_;  // the giver: writes were done
    std::vector<Write> inbox_;
    // Rows and jobs of writes done: the writer's since its last hand-over,
    // then the giver's.
    std::vector<std::unique_ptr<QsoRow>> rowsDone_, spareRows_;
    std::vector<std::unique_ptr<Job>> jobsDone_, spareJobs_;
    bool asleep_ = false;
    bool ending_ = false;
    bool settling_ = false;
    bool sealed_ = false;  // the waiting writes are to go now
    std::atomic<bool> giverWaiting_{false};
    std::atomic<std::uint64_t> given_{0};
    std::atomic<std::uint64_t> done_{0};
    // Failed writes by ticket, in order; read by the giver only at tickets done.
    std::mutex failuresMutex_;
    std::vector<std::pair<std::uint64_t, std::exception_ptr>> failures_;
    std::atomic<std::size_t> failureCount_{0};
    std::size_t failuresSeen_ = 0;
    bool broken_ = false;  // the writer's own: drop what comes after a target failure
    std::thread thread_;
};

}  // namespace tvx
