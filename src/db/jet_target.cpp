#include "db/jet_target.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <utility>

#include "db/jet_check.h"
#include "util/file.h"
#include "util/text.h"

namespace tvx {

namespace {

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// NAME.ldb beside NAME.mdb: the engine's lock file of an open database.
std::string LockFileOf(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".ldb";
    return path.substr(0, dot) + ".ldb";
}

// Copies `from` to a new file `to` with the same permissions: a reflink
// where the file system shares blocks, else a kernel copy. Returns the
// reason it failed, or empty.
std::string CopyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return "it cannot be read: " + SystemErrorText(errno);
    struct stat st {};
    ::fstat(in, &st);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return "the copy " + Quoted(to) + " cannot be created: " + SystemErrorText(error);
    }
    std::string why;
    if (::ioctl(out, FICLONE, in) != 0) {
        off_t left = st.st_size;
        while (left > 0) {
            const ssize_t n =
                ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(left), 0);
            if (n <= 0) {
                why = "the copy " + Quoted(to) +
                      " cannot be written: " + SystemErrorText(n < 0 ? errno : ENOSPC);
                break;
            }
            left -= n;
        }
    }
    if (why.empty() && ::fchmod(out, st.st_mode & 07777) != 0) why = SystemErrorText(errno);
    if (::close(out) != 0 && why.empty())
        why = "the copy cannot be written: " + SystemErrorText(errno);
    ::close(in);
    if (!why.empty()) ::unlink(to.c_str());
    return why;
}

bool IsTextKind(int type) {
    return type == kJetText || type == kJetMemo;
}

std::optional<std::string> TextOf(const JetValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
    if (const auto* b = std::get_if<bool>(&v)) return std::string(*b ? "1" : "0");
    if (const auto* d = std::get_if<double>(&v)) {
        char buffer[32];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *d);
        return std::string(buffer, ec == std::errc() ? end : buffer);
    }
    return std::nullopt;
}

// The columns of `wanted` in the definition; throws naming the first missing.
std::vector<int> Positions(const JetTableDef& def, const std::vector<std::string>& wanted,
                           const std::string& table, const std::string& path) {
    std::vector<int> at;
    for (const std::string& name : wanted) {
        const auto it =
            std::find_if(def.columns.begin(), def.columns.end(),
                         [&](const JetColumn& c) { return EqualsNoCase(c.name, name); });
        if (it == def.columns.end()) {
            throw DbError("The table [" + table + "] of " + Quoted(path) + " has no column [" +
                          name + "].");
        }
        at.push_back(static_cast<int>(it - def.columns.begin()));
    }
    return at;
}

std::uint32_t RequireTable(JetWriter& file, const std::string& table) {
    const std::uint32_t page = file.FindTable(table);
    if (page == 0) {
        throw DbError("The table [" + table + "] does not exist in " + Quoted(file.path()) + ".");
    }
    return page;
}

std::vector<std::string> QsoColumnNames() {
    std::vector<std::string> names;
    for (const ColumnDef& c : qsoColumns()) names.emplace_back(c.name);
    return names;
}

}  // namespace

std::unique_ptr<ImportTarget> MakeImportTarget(const std::string& targetPath) {
    FileCheck check;
    if (detectDatabaseKind(targetPath, &check) == DbKind::Jet)
        return std::make_unique<JetImportSet>();
    return std::make_unique<CImportSet>();
}

JetImportSet::~JetImportSet() {
    try {
        Close();
    } catch (const DbError&) {
        // The file stays as it was; nobody is left to tell.
    }
    ForgetLost();
}

std::string JetImportSet::BackupPath(const std::string& target) {
    const std::size_t dot = target.find_last_of('.');
    const std::size_t slash = target.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return target + ".bak";
    return target.substr(0, dot) + ".bak";
}

void JetImportSet::Open(const std::string& targetPath) {
    Close();
    const std::string copy = CopyPath(targetPath);
    if (CheckFile(copy).kind != FileKind::Missing && ::unlink(copy.c_str()) == 0) {
        notice_ = "An import that did not finish had left a copy of the target beside it: " + copy +
                  " was removed. The target is as that import found it.";
    }
    JetWriter file(targetPath, JetWriter::Mode::ReadOnly);
    if (const std::vector<std::string> problems = CheckJetFile(targetPath); !problems.empty()) {
        throw DbError("The target database " + Quoted(targetPath) + " is damaged (" +
                      problems.front() + "); it is not written.");
    }
    table_ = RequireTable(file, "QSO-TAB");
    if (const std::string why = file.UnwritableReason(table_); !why.empty()) {
        throw DbError("Rows cannot be added to [QSO-TAB] of " + Quoted(targetPath) + ": " + why +
                      ".");
    }
    const JetTableDef& def = file.Definition(table_);
    columns_ = def.columns;
    position_ = Positions(def, QsoColumnNames(), "QSO-TAB", targetPath);
    format_ = file.format();
    path_ = targetPath;
}

void JetImportSet::Close() {
    if (path_.empty()) return;
    std::optional<DbError> failure;
    try {
        Commit();
    } catch (const DbError& e) {
        failure = e;
    }
    DropCopy();
    index_.reset();
    path_.clear();
    if (failure) throw *failure;
}

std::string JetImportSet::KindName() const {
    return format_.jet4 ? "Jet 4 (Access 2000)" : "Jet 3 (Access 97)";
}

std::string JetImportSet::TakeNotice() {
    return std::exchange(notice_, {});
}

std::string JetImportSet::ReasonNotWritable() const {
    const std::string lock = LockFileOf(path_);
    if (CheckFile(lock).kind != FileKind::Missing) {
        return "The target database " + Quoted(path_) +
               " seems to be open in the host program: its lock file " + Quoted(lock) +
               " exists. Close the database there and import again; if it is not open, " + lock +
               " may be deleted.";
    }
    const std::string folder = FolderOf(path_);
    struct statvfs fs {};
    if (::access(folder.c_str(), W_OK) != 0 ||
        (::statvfs(folder.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY))) {
        return "The folder " + Quoted(folder) + " of the target database cannot be written: the " +
               "import writes a copy of the database there and puts it in the database's place.";
    }
    return {};
}

void JetImportSet::BeginCopy() {
    if (writer_) return;
    if (path_.empty()) throw DbError("The target database is not open.");
    const std::string copy = CopyPath(path_);
    if (const std::string why = CopyFile(path_, copy); !why.empty()) {
        throw DbTargetError("The target database " + Quoted(path_) +
                            " could not be copied: " + why + ". The target is unchanged.");
    }
    try {
        writer_ = std::make_unique<JetWriter>(copy, JetWriter::Mode::SkipCheck);
    } catch (const DbError& e) {
        ::unlink(copy.c_str());
        throw DbTargetError(e.what());
    }
    failed_ = false;
    ForgetLost();
}

void JetImportSet::ForgetLost() {
    if (lost_) std::fclose(lost_);
    lost_ = nullptr;
    lostCount_ = 0;
}

void JetImportSet::DropCopy() {
    writer_.reset();
    if (!path_.empty()) ::unlink(CopyPath(path_).c_str());
}

template <typename Write>
auto JetImportSet::Guard(Write write) {
    if (failed_) {
        throw DbTargetError(
            "The import's copy of the target could not be written earlier in this run.");
    }
    try {
        return write();
    } catch (const JetValueError& e) {
        throw DbError(e.what());  // this row alone
    } catch (const DbTargetError&) {
        failed_ = true;
        throw;
    } catch (const DbError& e) {
        failed_ = true;
        throw DbTargetError(e.what());
    }
}

std::vector<JetValue> JetImportSet::ValuesOf(const QsoRow& row,
                                             std::vector<JetValue> values) const {
    for (int c = 0; c < kQsoColumnCount; ++c) {
        if (!row.isSet(static_cast<QsoCol>(c))) continue;
        const QsoRow::Cell& cell = row.cell(static_cast<QsoCol>(c));
        const auto at = static_cast<std::size_t>(position_[static_cast<std::size_t>(c)]);
        const JetColumn& col = columns_[at];
        JetValue& v = values[at];
        const std::string text = cell.isLong ? std::to_string(cell.number) : cell.text;
        if (cell.isNull || (!IsTextKind(col.type) && Trim(text).empty())) {
            v = std::monostate{};
        } else if (IsTextKind(col.type)) {
            v = text;
        } else if (col.type == kJetBoolean) {
            v = text != "0";
        } else if (col.type >= kJetByte && col.type <= kJetLong) {
            const std::string t = Trim(text);
            std::int64_t n = 0;
            const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
            if (ec != std::errc() || end != t.data() + t.size()) {
                throw DbError("The value '" + text + "' is not a whole number, which the column [" +
                              col.name + "] holds.");
            }
            v = n;
        } else if (col.type == kJetSingle || col.type == kJetDouble) {
            char* end = nullptr;
            const double d = std::strtod(text.c_str(), &end);
            if (end == text.c_str()) {
                throw DbError("The value '" + text + "' is not a number, which the column [" +
                              col.name + "] holds.");
            }
            v = d;
        } else {
            throw DbError("The column [" + col.name + "] is of a kind the import cannot fill.");
        }
    }
    return values;
}

QsoKey JetImportSet::StoredKey(const std::vector<JetValue>& values) const {
    const auto part = [&](QsoCol c) {
        return TextOf(values[static_cast<std::size_t>(position_[c])]).value_or("");
    };
    return {part(kQsoCall), part(kQsoDate), part(kQsoTime), part(kQsoMode), part(kQsoBand)};
}

void JetImportSet::KeepLost(const std::vector<JetValue>& values) {
    // In a file of its own (unlinked, gone with the process), so that memory
    // does not grow with the run.
    if (!lost_ && !(lost_ = std::tmpfile())) throw DbTargetError(SystemErrorText(errno));
    std::string line;
    for (const QsoCol c : kQsoNamingColumns) {
        std::string part = TextOf(values[static_cast<std::size_t>(position_[c])]).value_or("");
        std::replace_if(
            part.begin(), part.end(), [](char ch) { return ch == '\t' || ch == '\n'; }, ' ');
        line += part;
        line += c == kQsoMode ? '\n' : '\t';
    }
    std::fputs(line.c_str(), lost_);
    ++lostCount_;
}

std::int64_t JetImportSet::AddNew(const QsoRow& row) {
    BeginCopy();
    std::vector<JetValue> values = ValuesOf(row, std::vector<JetValue>(columns_.size()));
    const std::uint32_t pointer = Guard([&] { return writer_->AppendRow(table_, values); });
    KeepLost(values);
    if (index_) {
        const QsoKey key = StoredKey(values);
        index_->written.emplace(QsoKeyHash(key), std::make_pair(index_->next++, pointer));
    }
    return pointer;
}

std::optional<std::int64_t> JetImportSet::FindContact(const QsoKey& key) {
    BeginCopy();
    if (!index_) {
        auto index = std::make_unique<KeyIndex>();
        index->read.reserve(writer_->Definition(table_).rowCount);
        // Only the key's columns are decoded.
        keyColumns_.assign(columns_.size(), false);
        for (const QsoCol c : kQsoKeyColumns)
            keyColumns_[static_cast<std::size_t>(position_[c])] = true;
        Guard([&] {
            writer_->ScanRows(
                table_,
                [&](std::uint32_t pointer, const std::vector<JetValue>& row) {
                    bool complete = true;
                    for (const QsoCol c : kQsoKeyColumns) {
                        complete = complete &&
                                   TextOf(row[static_cast<std::size_t>(position_[c])]).has_value();
                    }
                    // NULL equals nothing.
                    if (complete)
                        index->read.push_back({QsoKeyHash(StoredKey(row)), index->next, pointer});
                    ++index->next;
                },
                &keyColumns_);
        });
        std::sort(index->read.begin(), index->read.end());
        index_ = std::move(index);
    }
    // Of several, the oldest; each candidate is confirmed against its row.
    const std::uint64_t hash = QsoKeyHash(key);
    std::optional<std::pair<std::uint32_t, std::uint32_t>> found;
    const auto consider = [&](std::uint32_t order, std::uint32_t pointer) {
        if (found && found->first <= order) return;
        if (StoredKey(Guard([&] { return writer_->ReadRow(table_, pointer, &keyColumns_); })) ==
            key)
            found = std::make_pair(order, pointer);
    };
    auto it = std::lower_bound(index_->read.begin(), index_->read.end(), Candidate{hash, 0, 0});
    for (; it != index_->read.end() && it->hash == hash; ++it) consider(it->order, it->pointer);
    const auto [first, last] = index_->written.equal_range(hash);
    for (auto w = first; w != last; ++w) consider(w->second.first, w->second.second);
    if (!found) return std::nullopt;
    return found->second;
}

std::string JetImportSet::ReadText(std::int64_t rowId, QsoCol col) {
    BeginCopy();
    std::vector<bool> only(columns_.size());
    only[static_cast<std::size_t>(position_[col])] = true;
    const std::vector<JetValue> values =
        Guard([&] { return writer_->ReadRow(table_, static_cast<std::uint32_t>(rowId), &only); });
    return TextOf(values[static_cast<std::size_t>(position_[col])]).value_or("");
}

void JetImportSet::Update(std::int64_t rowId, const QsoRow& row) {
    BeginCopy();
    const auto pointer = static_cast<std::uint32_t>(rowId);
    const std::vector<JetValue> before = Guard([&] { return writer_->ReadRow(table_, pointer); });
    const std::vector<JetValue> after = ValuesOf(row, before);
    Guard([&] { writer_->UpdateRow(table_, pointer, after); });
    // A lost confirmation is named by the contact it was to confirm.
    KeepLost(before);
}

void JetImportSet::Fail(const std::string& why) {
    DropCopy();
    failed_ = false;
    index_.reset();
    std::vector<QsoRow> lost;
    lost.reserve(lostCount_);
    char* buffer = nullptr;
    std::size_t room = 0;
    if (lost_) std::rewind(lost_);
    for (ssize_t length; lost_ && (length = ::getline(&buffer, &room, lost_)) > 0;) {
        // The line without its end: the values, a tab between each two.
        const std::string_view line(buffer, static_cast<std::size_t>(length) - 1);
        QsoRow row;
        std::size_t at = 0;
        for (const QsoCol c : kQsoNamingColumns) {
            const std::size_t end = std::min(line.find('\t', at), line.size());
            row.setText(c, line.substr(at, end - at));
            at = end + 1;
        }
        lost.push_back(std::move(row));
    }
    std::free(buffer);
    ForgetLost();
    throw DbCommitError("The target database " + Quoted(path_) +
                            " is unchanged: the import's copy of it could not be finished (" + why +
                            ").",
                        0, std::move(lost));
}

void JetImportSet::Commit() {
    if (!writer_) return;
    if (failed_) Fail("a write into it failed");
    try {
        writer_->Flush();
    } catch (const DbError& e) {
        Fail(e.what());
    }
    writer_.reset();
    const std::string copy = CopyPath(path_);
    if (const std::vector<std::string> problems = CheckJetFile(copy); !problems.empty()) {
        Fail("the check of the copy found: " + problems.front());
    }
    // The file as it was stays as NAME.bak (a second name of the same file
    // where the file system allows it), then the copy takes its place at once.
    const std::string backup = BackupPath(path_);
    ::unlink(backup.c_str());
    if (::link(path_.c_str(), backup.c_str()) != 0) {
        if (const std::string why = CopyFile(path_, backup); !why.empty()) {
            Fail("the file as it was could not be kept as " + backup + ": " + why);
        }
    }
    if (::rename(copy.c_str(), path_.c_str()) != 0) Fail(SystemErrorText(errno));
    const int folder = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    ForgetLost();
}

// ---- JetDxccSet

void JetDxccSet::Open(const std::string& targetPath) {
    rows_.clear();
    JetWriter file(targetPath, JetWriter::Mode::ReadOnly);
    const std::uint32_t table = RequireTable(file, "DXCCTAB");
    const std::vector<int> at =
        Positions(file.Definition(table), dxccColumns(), "DXCCTAB", targetPath);
    file.ScanRows(table, [&](std::uint32_t, const std::vector<JetValue>& row) {
        std::vector<std::string> values;
        values.reserve(at.size());
        for (const int p : at)
            values.push_back(TextOf(row[static_cast<std::size_t>(p)]).value_or(""));
        // The first row of a prefix counts, as in the table's order.
        rows_.emplace(values.front(), std::move(values));
    });
}

const std::vector<std::string>* JetDxccSet::Row(const std::string& prefix) {
    const auto it = rows_.find(prefix);
    return it == rows_.end() ? nullptr : &it->second;
}

namespace {

JetTableSpec TextTable(const std::string& name, const std::vector<std::string>& columns) {
    JetTableSpec spec{name, {}, {}};
    for (const std::string& c : columns) spec.columns.push_back({c, kJetText, 255, false});
    return spec;
}

}  // namespace

void AddJetTargetTables(const std::string& path) {
    const std::string copy = path + ".creating";
    if (CheckFile(copy).kind != FileKind::Missing) ::unlink(copy.c_str());
    if (const std::string why = CopyFile(path, copy); !why.empty())
        throw DbError(Quoted(path) + " cannot be changed: " + why + ".");
    try {
        {
            JetWriter file(copy, JetWriter::Mode::Check);
            for (const char* table : {"QSO-TAB", "QSO-NOTES", "DXCCTAB"}) {
                if (file.FindTable(table) != 0)
                    throw DbError(Quoted(path) + " has a table [" + table + "] already.");
            }
            JetTableSpec qso{"QSO-TAB", {}, {}};
            for (const ColumnDef& c : qsoColumns()) {
                const bool isLong = c.kind == ColumnKind::Long;
                qso.columns.push_back({c.name, isLong ? kJetLong : kJetText, isLong ? 4u : 255u,
                                       std::string_view(c.name) == "QSO-NUMBER"});
            }
            qso.indexes = {{"PrimaryKey", {{"QSO-NUMBER", true}}, true, true},
                           {"QSO-CALL", {{"QSO-CALL", true}}, false, false}};
            file.CreateTable(qso);
            std::vector<std::string> notes;
            for (const ColumnDef& c : notesColumns()) notes.emplace_back(c.name);
            JetTableSpec notesTable = TextTable("QSO-NOTES", notes);
            notesTable.indexes = {{"CALLSIGN", {{"CALLSIGN", true}}, false, false}};
            file.CreateTable(notesTable);
            JetTableSpec dxcc = TextTable("DXCCTAB", dxccColumns());
            dxcc.indexes = {{"PREFIX", {{"PREFIX", true}}, false, false}};
            file.CreateTable(dxcc);
            file.Flush();
        }
        if (const std::vector<std::string> problems = CheckJetFile(copy); !problems.empty())
            throw DbError("The new tables of " + Quoted(path) +
                          " fail the check: " + problems.front());
        if (::rename(copy.c_str(), path.c_str()) != 0)
            throw DbError(Quoted(path) + " cannot be replaced: " + SystemErrorText(errno) + ".");
    } catch (...) {
        ::unlink(copy.c_str());
        throw;
    }
}

void ReadJetContacts(
    const std::string& path,
    const std::function<void(const std::vector<std::optional<std::string>>&)>& each) {
    JetWriter file(path, JetWriter::Mode::ReadOnly);
    const std::uint32_t table = RequireTable(file, "QSO-TAB");
    const std::vector<int> at =
        Positions(file.Definition(table), QsoColumnNames(), "QSO-TAB", path);
    std::vector<std::optional<std::string>> values(at.size());
    file.ScanRows(table, [&](std::uint32_t, const std::vector<JetValue>& row) {
        for (std::size_t i = 0; i < at.size(); ++i)
            values[i] = TextOf(row[static_cast<std::size_t>(at[i])]);
        each(values);
    });
}

}  // namespace tvx
