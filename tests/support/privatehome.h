#pragma once

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korvane::test {

// The working and tools folders of one test program, its own: card loads rebuild parts of the
// one, tool set-up fills the other. Register it with testing::AddGlobalTestEnvironment.
class PrivateHome : public testing::Environment
{
public:
    void SetUp() override
    {
        qputenv("XDG_CACHE_HOME", m_folder.filePath(QStringLiteral("cache")).toUtf8());
        qputenv("XDG_DATA_HOME", m_folder.filePath(QStringLiteral("data")).toUtf8());
    }

private:
    QTemporaryDir m_folder;
};

} // namespace korvane::test
