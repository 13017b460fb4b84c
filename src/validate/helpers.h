#pragma once

#include <QChar>
#include <QString>

namespace validate {

// Replaces every "," and then every "." by `decimal`, so either mark serves as the separator.
QString SetCorrectFloatStr(const QString& str, QChar decimal);
// True when both texts are non-empty and MainStr begins with SubStr (case-sensitive).
bool CheckSubStr(const QString& SubStr, const QString& MainStr);
// True when every character is a Latin letter, a digit, "_", "-" or ".".
bool CheckAllowed(const QString& s);
bool IsValidEmail(const QString& Value);

} // namespace validate
