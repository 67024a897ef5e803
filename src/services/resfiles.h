#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kalmix {

// Registers the resources compiled into the program; call once before the first use.
void initResources();

// The bytes of a resource of the program by type and id (":/CUSTOM/1000", ":/WAV/101").
// A resource that does not exist raises run-time error 326.
QByteArray loadResource(const QString& resType, int resId);

// Writes the bytes of a resource to the file Path, replacing it. Returns 0.
std::int32_t SaveResItemToDisk(std::int16_t resId, const QString& resType, const QString& path);

// The user's temporary directory, with a trailing separator.
QString GetTempDir();

// Text up to, not including, its first NUL character; the text itself when it holds none.
QString TrimNull(const QString& text);

} // namespace kalmix
