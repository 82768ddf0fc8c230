#include "codepage.h"

#include <clocale>
#include <iconv.h>
#include <langinfo.h>

namespace CodePage {

namespace {

QByteArray g_override;

QByteArray convert(const QByteArray &from, const QByteArray &to, const QByteArray &input, char replacement)
{
    if (input.isEmpty())
        return {};
    iconv_t cd = iconv_open(to.constData(), from.constData());
    if (cd == iconv_t(-1))
        return input;
    QByteArray out;
    out.resize(input.size() * 4 + 16);
    char *in = const_cast<char *>(input.constData());
    size_t inLeft = size_t(input.size());
    char *dst = out.data();
    size_t outLeft = size_t(out.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1))
            break;
        if (errno == E2BIG) {
            const qsizetype used = dst - out.data();
            out.resize(out.size() * 2);
            dst = out.data() + used;
            outLeft = size_t(out.size() - used);
            continue;
        }
        // A character that the target cannot hold, or a broken input sequence: put a stand-in, go on.
        ++in;
        --inLeft;
        if (outLeft == 0) {
            const qsizetype used = dst - out.data();
            out.resize(out.size() * 2);
            dst = out.data() + used;
            outLeft = size_t(out.size() - used);
        }
        *dst++ = replacement;
        --outLeft;
        if (from == "UTF-8") // skip the rest of a multi-byte sequence
            while (inLeft > 0 && (uchar(*in) & 0xC0) == 0x80) {
                ++in;
                --inLeft;
            }
    }
    iconv(cd, nullptr, nullptr, &dst, &outLeft);
    out.resize(dst - out.data());
    iconv_close(cd);
    return out;
}

}

QByteArray name()
{
    if (!g_override.isEmpty())
        return g_override;
    static const QByteArray fromLocale = [] {
        std::setlocale(LC_CTYPE, "");
        QByteArray codeset(nl_langinfo(CODESET));
        return codeset.isEmpty() || codeset == "ANSI_X3.4-1968" ? QByteArray("UTF-8") : codeset;
    }();
    return fromLocale;
}

bool isUtf8()
{
    const QByteArray n = name().toUpper();
    return n == "UTF-8" || n == "UTF8";
}

QByteArray fromUnicode(const QString &text)
{
    if (isUtf8())
        return text.toUtf8();
    return convert("UTF-8", name(), text.toUtf8(), '?');
}

QString toUnicode(const QByteArray &bytes)
{
    if (isUtf8())
        return QString::fromUtf8(bytes);
    return QString::fromUtf8(convert(name(), "UTF-8", bytes, '?'));
}

void setOverride(const QByteArray &codeset)
{
    g_override = codeset;
}

}
