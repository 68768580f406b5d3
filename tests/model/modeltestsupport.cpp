#include "modeltestsupport.h"

#include "card/workingfolder.h"
#include "privatehome.h"

#include <QCoroTask>
#include <QTest>

#include <gtest/gtest.h>

namespace korvane::test {

namespace {
const auto *const home = testing::AddGlobalTestEnvironment(new PrivateHome);
} // namespace

CardModel::CardModel(const QString &image, const QByteArray &soundSink)
{
    WorkingFolder::deleteDirectory(WorkingFolder::tempRoot() + QStringLiteral("mov"));
    m_model = std::make_unique<AppViewModel>(PlaybackOutput{true, soundSink});
    m_rowsChecked = std::make_unique<QAbstractItemModelTester>(
        m_model->library()->filteredModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    ProcessManager &card = m_model->procManager();
    card.tools().setUsesCardImage(true);
    card.tools().setBundledTools(QStringLiteral(TOOLS_FOLDER "/"));
    EXPECT_TRUE(QCoro::waitFor(card.tools().prepareTools()))
        << card.tools().setupProblem().toStdString();
    card.setRawDevicePath(image);
    card.setCardVolume(m_volume.path());
}

CardModel::~CardModel() = default;

void CardModel::loadCard()
{
    QCoro::waitFor(m_model->library()->reloadList());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_model->library()->isLoading(); }, 60000));
}

void CardModel::waitUntilOpened()
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_model->library()->isSelecting(); }, 60000));
    QCoro::waitFor(m_model->opener()->metadataLoaded());
}

qsizetype CardModel::row(const QString &name) const
{
    const QList<FileListItem> &rows = m_model->library()->filtered();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].name == name)
            return i;
    }
    ADD_FAILURE() << "no row " << name.toStdString();
    return -1;
}

} // namespace korvane::test
