// Writing and confirming contacts in a SQLite target and in Jet 4 and Jet 3
// targets (the target's tables added by the writer to the shared empty
// Access 2000 database and Access 97 sample, when they are there; a Long
// primary key and a Text index on the call): 100,000 appends into an empty
// target, and the LoTW pass (find + update) of 100,000 contacts against a
// 100,000-row table. Argument 0 is SQLite, 1 Jet 4, 2 Jet 3.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/resource.h>

#include "db/jet_target.h"
#include "db/jet_writer.h"
#include "db/schema.h"
#include "db/target.h"

namespace {

constexpr int kContacts = 100000;

// A new empty target of the kind; empty when the kind cannot be made here.
std::string freshTarget(int kind) {
    char pattern[] = "/tmp/tvx-bench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    if (kind == 0) {
        const std::string path = std::string(pattern) + "/target.sqlite";
        tvx::createTargetDatabase(path);
        return path;
    }
    const std::string shared = std::string(TVX_SOURCE_DIR) + "/../shared/data/jet/" +
                               (kind == 2 ? "jet3-sample.mdb" : "real/empty-v2000.mdb");
    if (!std::filesystem::exists(shared)) return {};
    const std::string path = std::string(pattern) + "/target.mdb";
    std::filesystem::copy_file(shared, path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    tvx::AddJetTargetTables(path);
    return path;
}

std::unique_ptr<tvx::ImportTarget> openTarget(const std::string& path) {
    auto target = tvx::MakeImportTarget(path);
    target->Open(path);
    return target;
}

void peakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB_so_far"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
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
        const std::string path = freshTarget(static_cast<int>(state.range(0)));
        if (path.empty()) {
            state.SkipWithError("no shared Jet target");
            break;
        }
        state.ResumeTiming();
        auto set = openTarget(path);
        for (int i = 0; i < kContacts; ++i) set->AddNew(contact(i));
        set->Close();
        state.PauseTiming();
        removeTarget(path);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
    peakMemory(state);
}
BENCHMARK(BM_AppendContacts)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ConfirmContacts(benchmark::State& state) {
    const std::string path = freshTarget(static_cast<int>(state.range(0)));
    if (path.empty()) {
        state.SkipWithError("no shared Jet target");
        return;
    }
    {
        auto set = openTarget(path);
        for (int i = 0; i < kContacts; ++i) set->AddNew(contact(i));
        set->Close();
    }
    for (auto _ : state) {
        auto target = openTarget(path);
        tvx::ImportTarget& set = *target;
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
    peakMemory(state);
}
BENCHMARK(BM_ConfirmContacts)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
