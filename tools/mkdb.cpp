// Builds a shipped SQLite file from SQL scripts: tovaki-mkdb [--keep-existing] OUT SCRIPT...
// The scripts run in order; after a script whose name starts with a number N (a step of the
// migration chain, "2-2-history.sql") the file's schema version is set to N. The file is written
// under a temporary name and renamed, so an interrupted build never leaves a half-made database.
// With --keep-existing an existing OUT is left untouched: the data file a user has been working in
// is never replaced by a build.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    bool keep = false;
    int i = 1;
    if (argc > 1 && std::string(argv[1]) == "--keep-existing") {
        keep = true;
        ++i;
    }
    if (argc - i < 2) {
        std::fprintf(stderr, "usage: tovaki-mkdb [--keep-existing] OUT SCRIPT...\n");
        return 2;
    }
    const fs::path out = argv[i];
    if (keep && fs::exists(out))
        return 0;
    fs::create_directories(out.parent_path());
    const fs::path tmp = out.string() + ".building";
    fs::remove(tmp);
    sqlite3* db = nullptr;
    int rc = sqlite3_open(tmp.string().c_str(), &db);
    for (int s = i + 1; s < argc && rc == SQLITE_OK; ++s) {
        const fs::path script = argv[s];
        std::ifstream in(script, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "tovaki-mkdb: cannot read %s\n", script.string().c_str());
            sqlite3_close(db);
            fs::remove(tmp);
            return 1;
        }
        std::stringstream sql;
        sql << in.rdbuf();
        const std::string name = script.filename().string();
        const std::size_t digits = name.find_first_not_of("0123456789");
        if (digits != 0 && digits != std::string::npos)
            sql << "\nPRAGMA user_version = " << std::stoi(name.substr(0, digits)) << ";\n";
        char* err = nullptr;
        rc = sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &err);
        if (rc != SQLITE_OK) {
            std::fprintf(stderr, "tovaki-mkdb: %s: %s\n", script.string().c_str(),
                         err ? err : sqlite3_errmsg(db));
            sqlite3_free(err);
        }
    }
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        fs::remove(tmp);
        return 1;
    }
    std::error_code ec;
    fs::permissions(tmp, fs::perms::owner_read | fs::perms::owner_write, ec);
    fs::rename(tmp, out, ec);
    if (ec) {
        std::fprintf(stderr, "tovaki-mkdb: %s\n", ec.message().c_str());
        fs::remove(tmp);
        return 1;
    }
    return 0;
}
