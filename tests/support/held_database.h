#pragma once

#include <sqlite3.h>

#include <string>

namespace tessaly::test {

// Another program writing to a database file: it holds the file's lock,
// keeping our readers and writers out, until release() or its end.
class HeldDatabase final {
public:
    explicit HeldDatabase(const std::string& path)
    {
        held_ = sqlite3_open(path.c_str(), &db_) == SQLITE_OK &&
                sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~HeldDatabase() { release(); }
    HeldDatabase(const HeldDatabase&) = delete;
    HeldDatabase& operator=(const HeldDatabase&) = delete;

    bool held() const { return held_; }
    void release()
    {
        if (db_ != nullptr) {
            sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db_);
            db_ = nullptr;
        }
        held_ = false;
    }

private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};

} // namespace tessaly::test
