// Builds a shipped SQLite file from an SQL script: tovaki-mkdb [--keep-existing] OUT SCRIPT.
// The file is written under a temporary name and renamed, so an interrupted build never leaves
// a half-made database. With --keep-existing an existing OUT is left untouched: the data file a
// user has been working in is never replaced by a build.
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
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: tovaki-mkdb [--keep-existing] OUT SCRIPT\n");
        return 2;
    }
    const fs::path out = argv[i];
    const fs::path script = argv[i + 1];
    if (keep && fs::exists(out))
        return 0;
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "tovaki-mkdb: cannot read %s\n", script.string().c_str());
        return 1;
    }
    std::stringstream sql;
    sql << in.rdbuf();
    fs::create_directories(out.parent_path());
    const fs::path tmp = out.string() + ".building";
    fs::remove(tmp);
    sqlite3* db = nullptr;
    char* err = nullptr;
    int rc = sqlite3_open(tmp.string().c_str(), &db);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "tovaki-mkdb: %s: %s\n", script.string().c_str(),
                     err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        sqlite3_close(db);
        fs::remove(tmp);
        return 1;
    }
    sqlite3_close(db);
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
