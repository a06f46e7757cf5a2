// Writing and confirming contacts in a SQLite target: 100,000 appends into an
// empty target, and the LoTW pass (find + update) of 100,000 contacts against
// a 100,000-row table.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "db/schema.h"
#include "db/target.h"

namespace {

constexpr int kContacts = 100000;

std::string freshTarget() {
    char pattern[] = "/tmp/tvx-bench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    const std::string path = std::string(pattern) + "/target.sqlite";
    tvx::createTargetDatabase(path);
    return path;
}

tvx::QsoRow contact(int i) {
    tvx::QsoRow row;
    row.setText(tvx::kQsoCall, "K" + std::to_string(i));
    row.setText(tvx::kQsoDate, "2024" + std::to_string(1001 + i % 28));
    row.setText(tvx::kQsoTime, std::to_string(100000 + i % 5959));
    row.setText(tvx::kQsoMode, std::to_string(i % 8));
    row.setText(tvx::kQsoBand, std::to_string(i % 24));
    for (tvx::QsoCol c : {tvx::kQsoName, tvx::kQsoQth, tvx::kQsoNote, tvx::kQsoGrid}) {
        row.setTextOrNull(c, i % 3 ? "some text" : "");
    }
    row.setLong(tvx::kQsoValid, 3);
    row.setLong(tvx::kQsoCategory, 0);
    return row;
}

void removeTarget(const std::string& path) {
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}

void BM_AppendContacts(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string path = freshTarget();
        state.ResumeTiming();
        tvx::CImportSet set;
        set.Open(path);
        for (int i = 0; i < kContacts; ++i) set.AddNew(contact(i));
        set.Close();
        state.PauseTiming();
        removeTarget(path);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
}
BENCHMARK(BM_AppendContacts)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ConfirmContacts(benchmark::State& state) {
    const std::string path = freshTarget();
    {
        tvx::CImportSet set;
        set.Open(path);
        for (int i = 0; i < kContacts; ++i) set.AddNew(contact(i));
    }
    for (auto _ : state) {
        tvx::CImportSet set;
        set.Open(path);
        tvx::QsoRow confirm;
        confirm.setText(tvx::kQsoConfirm, "2");
        confirm.setText(tvx::kQsoLotwRec, "20240501");
        for (int i = 0; i < kContacts; ++i) {
            const tvx::QsoRow r = contact(i);
            auto id = set.FindContact({r.cell(tvx::kQsoCall).text, r.cell(tvx::kQsoDate).text,
                                       r.cell(tvx::kQsoTime).text, r.cell(tvx::kQsoMode).text,
                                       r.cell(tvx::kQsoBand).text});
            if (!id) std::abort();
            benchmark::DoNotOptimize(set.ReadText(*id, tvx::kQsoConfirm));
            set.Update(*id, confirm);
        }
        set.Close();
    }
    removeTarget(path);
    state.SetItemsProcessed(state.iterations() * kContacts);
}
BENCHMARK(BM_ConfirmContacts)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
