#include "helpers.h"

namespace validate {

QString SetCorrectFloatStr(const QString& str, QChar decimal)
{
    QString s = str;
    s.replace(QLatin1Char(','), decimal);
    s.replace(QLatin1Char('.'), decimal);
    return s;
}

bool CheckSubStr(const QString& SubStr, const QString& MainStr)
{
    return !SubStr.isEmpty() && !MainStr.isEmpty() && MainStr.indexOf(SubStr) == 0;
}

bool CheckAllowed(const QString& s)
{
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_' ||
                        u == u'-' || u == u'.';
        if (!ok)
            return false;
    }
    return true;
}

bool IsValidEmail(const QString& Value)
{
    const qsizetype at = Value.indexOf(QLatin1Char('@'));
    if (at < 0)
        return false;
    const QString name = Value.left(at);
    const QString server = Value.mid(at + 1);
    if (name.isEmpty() || server.size() < 4)
        return false;
    const qsizetype dot = server.indexOf(QLatin1Char('.'));
    if (dot < 0 || dot + 1 > server.size() - 2)
        return false;
    return CheckAllowed(name) && CheckAllowed(server);
}

} // namespace validate
