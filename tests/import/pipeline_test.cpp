// The writer thread and the ordered stream of steps over it, as units over a
// target that records its calls: order, back-pressure, a row's failure, a
// failure of the whole target or of a commit in the middle, the drain at the
// end, and that a step is told at the first tick after its write is done.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "db/target_writer.h"
#include "import/pipeline.h"

namespace tvx {
namespace {

// Appends are numbered by their call; some calls fail, as a row or as the
// whole target.
class RecordingTarget : public ContactTarget {
  public:
    std::int64_t AddNew(const QsoRow& row) override {
        const std::string call = row.cell(kQsoCall).text;
        if (call == rowFails) throw DbError("refused row");
        if (call == targetFails) throw DbTargetError("disk full", 13);
        if (call == commitFails) throw DbCommitError("disk full", 13, std::vector<QsoRow>(2));
        std::lock_guard lock(mutex);
        written.push_back(call);
        return static_cast<std::int64_t>(written.size());
    }
    std::optional<std::int64_t> FindContact(const QsoKey&) override { return std::nullopt; }
    std::string ReadText(std::int64_t, QsoCol) override { return {}; }
    void Update(std::int64_t, const QsoRow&) override {}
    void Commit() override {}
    void EndRun() override {}

    std::string rowFails, targetFails, commitFails;
    std::mutex mutex;
    std::vector<std::string> written;
};

std::unique_ptr<QsoRow> Row(TargetWriter& writer, const std::string& call) {
    std::unique_ptr<QsoRow> row = writer.TakeRow();
    row->setText(kQsoCall, call);
    return row;
}

TEST(TargetWriter, OrderRowFailureAndTargetFailure) {
    for (const bool ownThread : {true, false}) {
        SCOPED_TRACE(ownThread ? "own thread" : "same thread");
        RecordingTarget target;
        target.rowFails = "C10";
        target.targetFails = "C700";
        TargetWriter writer(target, ownThread);
        // More than the writer's depth: the giver waits for it on the way.
        for (int i = 1; i <= 1000; ++i) {
            EXPECT_EQ(writer.Give(Row(writer, "C" + std::to_string(i))), std::uint64_t(i));
        }
        writer.Settle();
        EXPECT_EQ(writer.Done(), 1000u);
        std::vector<std::uint64_t> failed;
        bool wholeTarget = false;
        for (std::uint64_t t = 1; t <= 1000; ++t) {
            if (const std::exception_ptr e = writer.FailureOf(t)) {
                failed.push_back(t);
                try {
                    std::rethrow_exception(e);
                } catch (const DbTargetError&) {
                    wholeTarget = true;
                } catch (const DbError&) {
                }
            }
        }
        EXPECT_EQ(failed, (std::vector<std::uint64_t>{10, 700}));
        EXPECT_TRUE(wholeTarget);
        // In order, without the refused row, and nothing after the target failed.
        ASSERT_EQ(target.written.size(), 698u);
        EXPECT_EQ(target.written.front(), "C1");
        EXPECT_EQ(target.written[9], "C11");
        EXPECT_EQ(target.written.back(), "C699");
    }
}

// A few writes wait for more to come; sealed, they are written without more.
// (The test waits for the write as long as it takes: it asserts no time.)
TEST(TargetWriter, SealedWritesAreWrittenWithoutMore) {
    RecordingTarget target;
    TargetWriter writer(target);
    writer.Give(Row(writer, "ONE"));
    writer.Seal();
    while (writer.Done() < 1) std::this_thread::yield();
    std::lock_guard lock(target.mutex);
    EXPECT_EQ(target.written, std::vector<std::string>{"ONE"});
}

// Hears the steps as "W:call", "W:call!" (its write failed), "P:line" and
// "I", and which failure, if any, was of the whole target.
struct StepLog : WritePipeline::Listener {
    void Told(const WritePipeline::Step& step, const std::exception_ptr& failure) override {
        using Kind = WritePipeline::Step::Kind;
        if (step.kind == Kind::Ignored) return told.push_back("I");
        if (step.kind == Kind::Problem) return told.push_back("P:" + step.text);
        told.push_back("W:" + step.text + (failure ? "!" : ""));
        if (!failure) return;
        try {
            std::rethrow_exception(failure);
        } catch (const DbCommitError&) {
            whole = "commit";
        } catch (const DbTargetError&) {
            whole = "target";
        } catch (const DbError&) {
        }
    }
    std::vector<std::string> told;
    std::string whole;
};

WritePipeline::Step WriteOf(const std::string& call) {
    WritePipeline::Step step;
    step.text = call;
    return step;
}

void Append(WritePipeline& p, const std::string& call) {
    std::unique_ptr<QsoRow> row = p.TakeRow();
    row->setText(kQsoCall, call);
    p.Append(std::move(row), WriteOf(call));
}

// 1,000 records, more than the writer's depth: each is a write, every third
// also has a problem line and every fifth is an ignored one as well. A
// failure stops the stream at its write: nothing after it is told.
TEST(WritePipeline, StepsAreToldInRecordOrderUpToAFailureOfTheTarget) {
    struct Case {
        const char* what;
        const char* rowFails;
        const char* targetFails;
        const char* commitFails;
        std::size_t stop;  // the record whose write fails the target; 0: none
        const char* whole;
    };
    const Case cases[] = {
        {"a refused row", "C10", "", "", 0, ""},
        {"the whole target", "C10", "C700", "", 700, "target"},
        {"a lost commit", "", "", "C300", 300, "commit"},
    };
    for (const Case& c : cases) {
        for (const bool ownThread : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (ownThread ? ", own thread" : ", same thread"));
            RecordingTarget target;
            target.rowFails = c.rowFails;
            target.targetFails = c.targetFails;
            target.commitFails = c.commitFails;
            StepLog log;
            WritePipeline pipeline(target, log, ownThread);
            std::vector<std::string> expected;
            for (std::size_t i = 1; i <= 1000; ++i) {
                const std::string call = "C" + std::to_string(i);
                Append(pipeline, call);
                const bool fails =
                    call == c.rowFails || call == c.targetFails || call == c.commitFails;
                if (c.stop == 0 || i <= c.stop)
                    expected.push_back("W:" + call + (fails ? "!" : ""));
                if (i % 3 == 0) {
                    WritePipeline::Step problem;
                    problem.text = "after " + call;
                    pipeline.Add(problem);
                    if (c.stop == 0 || i < c.stop) expected.push_back("P:after " + call);
                }
                if (i % 5 == 0) {
                    WritePipeline::Step ignored;
                    ignored.kind = WritePipeline::Step::Kind::Ignored;
                    pipeline.Add(ignored);
                    if (c.stop == 0 || i < c.stop) expected.push_back("I");
                }
                if (i % 100 == 0) pipeline.Tick();
            }
            pipeline.Drain();
            EXPECT_TRUE(pipeline.Idle());
            EXPECT_EQ(log.told, expected);
            EXPECT_EQ(log.whole, c.whole);
        }
    }
}

// The writer waits for more writes before it starts; the pump's tick hands
// a lone write over, and the step behind it is told at a later tick. The
// test ticks as long as it takes: it asserts no time.
TEST(WritePipeline, AStepIsToldAtATickAfterItsWriteIsDone) {
    RecordingTarget target;
    StepLog log;
    WritePipeline pipeline(target, log, true);
    WritePipeline::Step first;
    first.text = "first";
    pipeline.Add(first);  // nothing before it: told at once
    EXPECT_EQ(log.told, std::vector<std::string>{"P:first"});
    Append(pipeline, "ONE");
    WritePipeline::Step second;
    second.text = "second";
    pipeline.Add(second);
    EXPECT_EQ(log.told.size(), 1u);  // the write is not handed over yet
    while (log.told.size() < 3) pipeline.Tick();
    EXPECT_EQ(log.told, (std::vector<std::string>{"P:first", "W:ONE", "P:second"}));
}

}  // namespace
}  // namespace tvx
