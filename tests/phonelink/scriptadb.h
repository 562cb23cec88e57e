// A tiny adb stand-in written as a shell script into a temporary folder, for
// tests that need adb to misbehave in ways a real one rarely does (hang,
// write to standard error, vanish). Every call appends
// "<ANDROID_ADB_SERVER_PORT>|<args>" to log().
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include "testsupport.h"

class ScriptAdb {
public:
    // body runs after the logging line; "$@" are adb's arguments and %DIR%
    // stands for the script's folder.
    explicit ScriptAdb(const QString& body)
    {
        m_dir = testsupport::makeTempDir(QStringLiteral("scriptadb"));
        m_log = m_dir + QStringLiteral("/calls.log");
        m_path = m_dir + QStringLiteral("/adb");
        QFile f(m_path);
        if (f.open(QIODevice::WriteOnly)) {
            f.write("#!/bin/sh\n");
            f.write(QStringLiteral("echo \"${ANDROID_ADB_SERVER_PORT:-none}|$*\" >> '%1'\n").arg(m_log).toUtf8());
            f.write(QString(body).replace(QLatin1String("%DIR%"), m_dir).toUtf8());
            f.write("\n");
            f.close();
        }
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QString path() const { return m_path; }
    QString dir() const { return m_dir; }

    QStringList log() const
    {
        QFile f(m_log);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QString m_dir;
    QString m_log;
    QString m_path;
};
