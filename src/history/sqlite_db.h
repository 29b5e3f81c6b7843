#pragma once
// A thin owner of one SQLite connection and its prepared statements, so that
// every early return finalises and closes what it opened.
#include <QString>
#include <sqlite3.h>
#include <string>

class Statement {
  public:
    Statement() = default;
    Statement(sqlite3* db, const char* sql) {
        rc_ = sqlite3_prepare_v3(db, sql, -1, 0, &st_, nullptr);
    }
    ~Statement() { sqlite3_finalize(st_); }
    Statement(Statement&& other) noexcept : st_(other.st_), rc_(other.rc_) { other.st_ = nullptr; }
    Statement& operator=(Statement&& other) noexcept {
        std::swap(st_, other.st_);
        std::swap(rc_, other.rc_);
        return *this;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return st_ != nullptr; }
    int prepare_rc() const { return rc_; }
    Statement& reset() {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        return *this;
    }
    Statement& bind(int i, qint64 v) {
        sqlite3_bind_int64(st_, i, v);
        return *this;
    }
    Statement& bind(int i, double v) {
        sqlite3_bind_double(st_, i, v);
        return *this;
    }
    Statement& bind_null(int i) {
        sqlite3_bind_null(st_, i);
        return *this;
    }
    Statement& bind(int i, const QString& v) {
        const QByteArray bytes = v.toUtf8();
        sqlite3_bind_text(st_, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or the error
    int step() { return sqlite3_step(st_); }
    qint64 i64(int col) const { return sqlite3_column_int64(st_, col); }
    double real(int col) const { return sqlite3_column_double(st_, col); }
    bool null(int col) const { return sqlite3_column_type(st_, col) == SQLITE_NULL; }
    QString text(int col) const {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st_, col)),
                                 sqlite3_column_bytes(st_, col));
    }

  private:
    sqlite3_stmt* st_ = nullptr;
    int rc_ = SQLITE_OK;
};
