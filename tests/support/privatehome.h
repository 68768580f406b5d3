#pragma once

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korvane::test {

// The working, tools and settings folders of one test program, its own: card loads rebuild parts
// of the first, tool set-up fills the second, and what one test program stores (a clip's caption
// switched on) never reaches another running beside it, nor the user's own settings. Register it
// with testing::AddGlobalTestEnvironment.
class PrivateHome : public testing::Environment
{
public:
    void SetUp() override
    {
        qputenv("XDG_CACHE_HOME", m_folder.filePath(QStringLiteral("cache")).toUtf8());
        qputenv("XDG_DATA_HOME", m_folder.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_folder.filePath(QStringLiteral("config")).toUtf8());
    }

private:
    QTemporaryDir m_folder;
};

} // namespace korvane::test
