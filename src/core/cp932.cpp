#include "core/cp932.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

// One iconv descriptor per conversion, opened on first use and kept; the
// program converts on one thread only.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can. On an input sequence it cannot take, it
    // returns false with in/left pointing at it; the output so far is in out.
    bool run(char*& in, size_t& left, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // reset shift state
        char buf[4096];
        while (left > 0) {
            char* o = buf;
            size_t room = sizeof buf;
            size_t r = iconv(cd_, &in, &left, &o, &room);
            out.append(buf, static_cast<size_t>(o - buf));
            if (r == static_cast<size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                return false; // EILSEQ or EINVAL (cut short at the end)
            }
        }
        return true;
    }

  private:
    iconv_t cd_;
};

Converter& decoder() {
    static Converter c("UTF-16LE", "CP932");
    return c;
}
Converter& encoder() {
    static Converter c("CP932", "UTF-16LE");
    return c;
}

} // namespace

QString cp932_decode(const QByteArray& bytes) {
    std::string utf16;
    char* in = const_cast<char*>(bytes.constData());
    size_t left = static_cast<size_t>(bytes.size());
    while (!decoder().run(in, left, utf16)) {
        utf16.append("\xFD\xFF", 2); // U+FFFD, little-endian
        ++in;
        --left;
    }
    return QString(reinterpret_cast<const QChar*>(utf16.data()),
                   static_cast<qsizetype>(utf16.size() / 2));
}

namespace {

// Encodes; when a character cannot be represented, calls on_bad with its index
// and stops if it returns false.
template <typename OnBad> bool encode(const QString& text, QByteArray& result, OnBad on_bad) {
    std::string out;
    const char* base = reinterpret_cast<const char*>(text.utf16());
    char* in = const_cast<char*>(base);
    size_t left = static_cast<size_t>(text.size()) * 2;
    while (!encoder().run(in, left, out)) {
        qsizetype index = (in - base) / 2;
        if (!on_bad(index, out))
            return false;
        // skip the character, a surrogate pair as one
        size_t step = text.at(index).isHighSurrogate() && index + 1 < text.size() ? 4 : 2;
        step = std::min(step, left);
        in += step;
        left -= step;
    }
    result = QByteArray(out.data(), static_cast<qsizetype>(out.size()));
    return true;
}

} // namespace

namespace {

// Whether the bytes stand for exactly the text. The converter maps some
// characters one way only (¥ to 5C, which reads back as "\"; 〜 to the bytes
// of ～): such a text would come back from the file as another text.
bool reads_back_as(const QByteArray& bytes, const QString& text) {
    return cp932_decode(bytes) == text;
}

} // namespace

std::optional<QByteArray> cp932_encode(const QString& text) {
    QByteArray out;
    if (!encode(text, out, [](qsizetype, std::string&) { return false; }) ||
        !reads_back_as(out, text))
        return std::nullopt;
    return out;
}

QByteArray cp932_encode_lossy(const QString& text) {
    QByteArray out;
    encode(text, out, [](qsizetype, std::string& o) {
        o.push_back('?');
        return true;
    });
    return out;
}

QString cp932_fold_typed(const QString& text) {
    static constexpr std::pair<char16_t, char16_t> kFolds[] = {
        {u'\u301C', u'\uFF5E'}, // WAVE DASH -> FULLWIDTH TILDE (81 60)
        {u'\u2212', u'\uFF0D'}, // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS (81 7C)
        {u'\u2016', u'\u2225'}, // DOUBLE VERTICAL LINE -> PARALLEL TO (81 61)
        {u'\u2014', u'\u2015'}, // EM DASH -> HORIZONTAL BAR (81 5C)
        {u'\u00A2', u'\uFFE0'}, // CENT SIGN -> FULLWIDTH CENT SIGN (81 91)
        {u'\u00A3', u'\uFFE1'}, // POUND SIGN -> FULLWIDTH POUND SIGN (81 92)
        {u'\u00AC', u'\uFFE2'}, // NOT SIGN -> FULLWIDTH NOT SIGN (81 CA)
    };
    QString out = text;
    for (QChar& c : out) {
        for (const auto& [typed, held] : kFolds) {
            if (c.unicode() == typed)
                c = QChar(held);
        }
    }
    return out;
}

std::optional<QChar> cp932_first_unencodable(const QString& text) {
    if (cp932_encode(text))
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (!cp932_encode(text.mid(i, length)))
            return text.at(i);
        i += length - 1;
    }
    return std::nullopt;
}
