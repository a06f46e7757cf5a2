// The writer thread as a unit, over a target that records its calls: order,
// a row's failure, a failure of the whole target, and that a sealed hand-over
// is written however few writes wait.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "db/target_writer.h"

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
        std::lock_guard lock(mutex);
        written.push_back(call);
        return static_cast<std::int64_t>(written.size());
    }
    std::optional<std::int64_t> FindContact(const QsoKey&) override { return std::nullopt; }
    std::string ReadText(std::int64_t, QsoCol) override { return {}; }
    void Update(std::int64_t, const QsoRow&) override {}
    void Commit() override {}
    void EndRun() override {}

    std::string rowFails, targetFails;
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

}  // namespace
}  // namespace tvx
