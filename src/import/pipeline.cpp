#include "import/pipeline.h"

#include <utility>

namespace tvx {

namespace {

// A failure that every later write would meet alike.
bool FailsWholeTarget(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const DbTargetError&) {
        return true;
    } catch (const DbError&) {
        return false;
    } catch (...) {
        return true;
    }
}

}  // namespace

WritePipeline::WritePipeline(ContactTarget& target, Listener& listener, bool ownThread)
    : listener_(listener), writer_(target, ownThread) {}

void WritePipeline::Append(std::unique_ptr<QsoRow> row, Step step) {
    step.kind = Step::Kind::Write;
    lastTicket_ = writer_.Give(std::move(row));
    Push(std::move(step), lastTicket_, true);
}

void WritePipeline::RunJob(std::unique_ptr<TargetWriter::Job> job, Step step) {
    step.kind = Step::Kind::Write;
    lastTicket_ = writer_.Give(std::move(job));
    Push(std::move(step), lastTicket_, true);
}

void WritePipeline::Add(Step step) {
    Push(std::move(step), lastTicket_, false);
}

void WritePipeline::Push(Step step, std::uint64_t ticket, bool write) {
    if (broken_) return;
    waiting_.push_back({std::move(step), ticket, write});
    // Bounded, in case the writes wait for more to come while many records
    // are told without one.
    constexpr std::size_t kMostWaiting = 4096;
    TellDone(waiting_.size() >= kMostWaiting);
}

void WritePipeline::Tick() {
    writer_.Seal();
    TellDone(false);
}

void WritePipeline::Drain() {
    TellDone(true);
}

void WritePipeline::TellDone(bool wait) {
    if (wait) writer_.Settle();
    const std::uint64_t done = writer_.Done();
    while (!waiting_.empty() && waiting_.front().ticket <= done) {
        const Waiting w = std::move(waiting_.front());
        waiting_.pop_front();
        const std::exception_ptr failure = w.write ? writer_.FailureOf(w.ticket) : nullptr;
        if (failure && FailsWholeTarget(failure)) {
            // The writer drops every write after it: so are their steps,
            // and every step that comes later.
            waiting_.clear();
            broken_ = true;
        }
        listener_.Told(w.step, failure);
    }
}

}  // namespace tvx
