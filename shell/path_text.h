#pragma once

// File names between Qt and the core. The core takes paths as its file layer
// does: the system's own bytes on POSIX systems, UTF-8 with the native
// separator on Windows (where Qt's 8-bit names would be the ANSI code page,
// which cannot hold every name, and Qt writes "/").

#include <QDir>
#include <QFile>
#include <QString>
#include <string>

namespace torvane::Main {

inline std::string PathToCore(const QString& path) {
#ifdef _WIN32
  return QDir::toNativeSeparators(path).toStdString();  // UTF-8
#else
  return QFile::encodeName(path).toStdString();
#endif
}

inline QString PathFromCore(const std::string& path) {
#ifdef _WIN32
  return QString::fromStdString(path);
#else
  return QFile::decodeName(path.c_str());
#endif
}

}  // namespace torvane::Main
