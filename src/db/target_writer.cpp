#include "db/target_writer.h"

namespace tvx {

namespace {

// The writer sleeps until this many writes wait: waking it for each would
// cost the giver a system call a row.
constexpr std::size_t kWakeBatch = 64;

}  // namespace

TargetWriter::TargetWriter(ContactTarget& target, bool ownThread) : target_(target) {
    if (!ownThread) return;
    inbox_.reserve(kDepth);
    thread_ = std::thread([this] { Loop(); });
}

TargetWriter::~TargetWriter() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

template <typename T>
std::unique_ptr<T> TargetWriter::TakeBack(std::vector<std::unique_ptr<T>>& spare,
                                          std::vector<std::unique_ptr<T>>& done) {
    if (spare.empty() && thread_.joinable()) {
        std::lock_guard lock(mutex_);
        spare.swap(done);
    }
    if (spare.empty()) return nullptr;
    std::unique_ptr<T> item = std::move(spare.back());
    spare.pop_back();
    return item;
}

std::unique_ptr<QsoRow> TargetWriter::TakeRow() {
    std::unique_ptr<QsoRow> row = TakeBack(spareRows_, rowsDone_);
    if (!row) return std::make_unique<QsoRow>();
    row->clear();
    return row;
}

std::unique_ptr<TargetWriter::Job> TargetWriter::TakeJob() {
    return TakeBack(spareJobs_, jobsDone_);
}

void TargetWriter::Return(Write& w) {
    // Never more than the writes that can be under way at once.
    if (w.row && rowsDone_.size() < kDepth) rowsDone_.push_back(std::move(w.row));
    if (w.job && jobsDone_.size() < kDepth) jobsDone_.push_back(std::move(w.job));
}

std::uint64_t TargetWriter::Give(std::unique_ptr<QsoRow> row) {
    Write w;
    w.row = std::move(row);
    return Give(std::move(w));
}

std::uint64_t TargetWriter::Give(std::unique_ptr<Job> job) {
    Write w;
    w.job = std::move(job);
    return Give(std::move(w));
}

std::uint64_t TargetWriter::Give(Write w) {
    const std::uint64_t ticket = given_.load(std::memory_order_relaxed) + 1;
    w.ticket = ticket;
    if (!thread_.joinable()) {
        given_.store(ticket, std::memory_order_relaxed);
        Perform(w);
        Return(w);
        return ticket;
    }
    std::unique_lock lock(mutex_);
    inbox_.push_back(std::move(w));
    given_.store(ticket, std::memory_order_release);
    if (asleep_ && inbox_.size() >= kWakeBatch) wake_.notify_one();
    if (ticket - Done() >= kDepth) {
        // Far behind: let it catch up half way, so that the two threads do
        // not hand over at every row.
        giverWaiting_.store(true, std::memory_order_relaxed);
        progress_.wait(lock, [&] { return ticket - Done() <= kDepth / 2; });
        giverWaiting_.store(false, std::memory_order_relaxed);
    }
    return ticket;
}

void TargetWriter::Seal() {
    if (!thread_.joinable()) return;
    std::lock_guard lock(mutex_);
    if (inbox_.empty()) return;
    // Kept until the writer takes the inbox, should it not be asleep yet.
    sealed_ = true;
    if (asleep_) wake_.notify_one();
}

void TargetWriter::Settle() {
    std::unique_lock lock(mutex_);
    if (Done() == given_.load(std::memory_order_relaxed)) return;
    if (asleep_) {
        // A few writes wait and the writer sleeps: waking it and waiting for
        // it costs more than writing them here.
        PerformInbox();
        return;
    }
    settling_ = true;
    progress_.wait(lock, [&] { return Done() == given_.load(std::memory_order_relaxed); });
    settling_ = false;
}

std::exception_ptr TargetWriter::FailureOf(std::uint64_t ticket) {
    if (failureCount_.load(std::memory_order_acquire) == failuresSeen_) return nullptr;
    std::lock_guard lock(failuresMutex_);
    if (failures_[failuresSeen_].first != ticket) return nullptr;
    return failures_[failuresSeen_++].second;
}

void TargetWriter::Perform(Write& w) {
    if (!broken_) {
        try {
            if (w.job) {
                w.job->Run(target_);
            } else {
                target_.AddNew(*w.row);
            }
        } catch (const DbTargetError&) {
            Fail(w.ticket, true);
        } catch (const DbError&) {
            Fail(w.ticket, false);
        } catch (...) {
            Fail(w.ticket, true);
        }
    }
    done_.store(w.ticket, std::memory_order_release);
}

void TargetWriter::Fail(std::uint64_t ticket, bool wholeTarget) {
    broken_ = wholeTarget;
    std::lock_guard lock(failuresMutex_);
    failures_.emplace_back(ticket, std::current_exception());
    failureCount_.store(failures_.size(), std::memory_order_release);
}

void TargetWriter::PerformInbox() {
    for (Write& w : inbox_) {
        Perform(w);
        Return(w);
    }
    inbox_.clear();
}

void TargetWriter::Loop() {
    std::vector<Write> work;
    work.reserve(kDepth);
    std::unique_lock lock(mutex_);
    for (;;) {
        asleep_ = true;
        wake_.wait(lock, [&] {
            return ending_ ||
                   (!inbox_.empty() && (settling_ || sealed_ || inbox_.size() >= kWakeBatch));
        });
        asleep_ = false;
        sealed_ = false;
        if (inbox_.empty()) return;  // ending, and nothing left to write
        work.swap(inbox_);
        lock.unlock();
        for (Write& w : work) {
            Perform(w);
            if (giverWaiting_.load(std::memory_order_relaxed) &&
                given_.load(std::memory_order_relaxed) - w.ticket <= kDepth / 2) {
                std::lock_guard wakeGiver(mutex_);
                progress_.notify_one();
            }
        }
        lock.lock();
        for (Write& w : work) Return(w);
        work.clear();
        if (settling_ || giverWaiting_.load(std::memory_order_relaxed)) progress_.notify_one();
    }
}

}  // namespace tvx
