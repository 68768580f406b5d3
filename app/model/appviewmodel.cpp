#include "model/appviewmodel.h"

#include "base/applog.h"

namespace korvane {

AppViewModel::AppViewModel(QObject *parent) : AppViewModel(PlaybackOutput{}, parent) {}

AppViewModel::AppViewModel(const PlaybackOutput &output, QObject *parent)
    : QObject(parent), m_player(std::make_unique<MultiTrackPlayer>(output))
{
}

AppViewModel::~AppViewModel() = default;

void AppViewModel::pauseForSettings()
{
    if (m_player->isPlaying())
        m_player->pause();
}

SettingsViewModel *AppViewModel::newSettings(QObject *window)
{
    return new SettingsViewModel(m_procManager, window);
}

void AppViewModel::settingsSaved()
{
    m_notifications.setSaved(
        tr("설정을 SD 카드에 저장했습니다. 블랙박스는 다음에 켜질 때 이 설정을 적용합니다."), {});
}

void AppViewModel::settingsClosed()
{
    appLog(logWindow, "[SettingsWindow] windowWillClose");
}

} // namespace korvane
