#include "model/settingsviewmodel.h"

#include "base/identity.h"
#include "card/processmanager.h"

#include <QRegularExpression>

#include <algorithm>

namespace korvane {

const QStringList SettingsViewModel::volumes = {"0", "60", "88", "100"};
const QStringList SettingsViewModel::voltages = {"0",     "11800", "12000", "12200", "12400",
                                                 "12700", "12900", "13100", "13300"};
const QStringList SettingsViewModel::offTimes = {"0", "60", "180", "300"};
const QStringList SettingsViewModel::recTimes = {"0", "2", "3", "4", "5"};

namespace {

constexpr int gmtOffset = 12;      // the index of "+0 hours": offsets -12 to +12
constexpr int firstHybridVolt = 5; // 12.7 V and up: only for hybrid power cables

// An optional sign and decimal digits only.
bool isWholeNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[+-]?\\d+$"));
    return digits.match(text).hasMatch();
}

// Anything but a whole number that fits counts as 0.
int integer(const QString &text)
{
    return isWholeNumber(text) ? text.toInt() : 0;
}

class Reader
{
public:
    explicit Reader(const Settings &settings) : m_settings(settings) {}

    QString text(const char *key, const char *missing = "") const
    {
        return m_settings.value(QLatin1String(key), QLatin1String(missing));
    }
    bool flag(const char *key) const { return text(key) == u"1"; }
    int number(const char *key, const char *missing = "0") const
    {
        return integer(text(key, missing));
    }
    int index(const char *key, const QStringList &table, const char *missing) const
    {
        return std::max<int>(0, static_cast<int>(table.indexOf(text(key, missing))));
    }

private:
    const Settings &m_settings;
};

QString bit(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

SettingsViewModel::SettingsViewModel(ProcessManager &card, QObject *parent)
    : QObject(parent), m_card(card)
{
}

void SettingsViewModel::loadSettings()
{
    if (const std::optional<QString> ini = m_card.readLocalConfig(QStringLiteral("bbox.ini"))) {
        iniData = parseSettings(*ini);
        applySettings(iniData);
    }
    const std::optional<QString> onVolume = m_card.readSDCard(QStringLiteral("bbox.cfg"));
    const std::optional<QString> onCard = m_card.readLocalConfig(QStringLiteral("bbox.cfg"));
    // The card's own settings: its "bbox.cfg", or for a dashcam that never wrote one, what it
    // was delivered with.
    const Settings kept = onCard ? parseSettings(*onCard) : iniData;
    m_savedNotYetTaken = onVolume && parseSettings(*onVolume) != kept;
    const std::optional<QString> cfg = onVolume ? onVolume : onCard;
    if (!cfg) {
        emit changed();
        return;
    }
    cfgData = parseSettings(*cfg);
    applySettings(cfgData);
}

void SettingsViewModel::applySettings(const Settings &settings)
{
    const Reader ini(iniData);
    useLdws = ini.number("use_ldws", "1") == 1;
    useFvsa = ini.number("use_fvsa", "1") == 1;
    useSafeDrive = ini.number("use_safe_drive", "1") == 1;
    useHybrid = ini.number("use_hybrid", "1") == 1;
    useSecretMode = ini.number("use_secret", "1") == 1;

    const Reader read(settings);
    storagePriority = read.number("mem_type");
    isVoiceRecording = read.flag("mic");
    isVoiceGuide = read.flag("voice_alarm");
    isEffectSound = read.flag("audio_effect");
    volumeIndex = read.index("volume", volumes, "100");
    eventSensitivity = read.number("event_sens");
    motionSensitivity = read.number("motion_sens");
    isLdws = read.flag("ldws") && useLdws;
    isFvsa = read.flag("fvsa") && useFvsa;
    isSafeDrive = read.flag("safe_drive") && useSafeDrive;
    isAdasAlarm = read.flag("adas_alarm");
    ldwsLSensitivity = read.number("ldws_l");
    ldwsRSensitivity = read.number("ldws_r");
    driveType = read.number("drive_type");
    parkingMode = read.number("parking_mode");
    limitVoltIndex = read.index("limit_volt", voltages, "12000");
    if (limitVoltIndex >= firstHybridVolt && !useHybrid)
        limitVoltIndex = 0;
    lcdOffTimeIndex = read.index("lcd_offtime", offTimes, "60");
    recQuality = read.number("rec_quality");
    recTimeIndex = read.index("rec_time", recTimes, "2");
    // An offset outside the list chooses none of it and goes back to the card as it came.
    const QString gmt = read.text("gmt");
    bool fits = false;
    const qlonglong offset = gmt.toLongLong(&fits);
    if (isWholeNumber(gmt) && (!fits || std::abs(offset) > gmtOffset)) {
        gmtIndex = -1;
        m_unlistedGmt = gmt;
    } else {
        gmtIndex = integer(gmt) + gmtOffset;
        m_unlistedGmt.clear();
    }
    syncTime = read.text("sync_time", "0000,00,00,00,00,00");
    isSecretMode = read.flag("secret_mode");
    wifiSSID = read.text("wifi_ssid_1");
    wifiPW = read.text("wifi_sspw_1");
    modelName = read.text("model");
    fwVersion = read.text("version");
    safeDBversion = read.text("safe_db_ver");
    emit changed();
}

void SettingsViewModel::resetSettings()
{
    applySettings(iniData);
}

bool SettingsViewModel::saveSettings()
{
    // A line break would add keys of its own to the file; "=" makes a line nobody reads back.
    for (const auto &[value, field] :
         {std::pair{wifiSSID, tr("Wi-Fi 이름")}, std::pair{wifiPW, tr("Wi-Fi 비밀번호")}}) {
        if (std::any_of(value.begin(), value.end(),
                        [](QChar c) { return isLineBreak(c) || c == u'='; })) {
            setSaveProblem(tr("%1에는 줄바꿈이나 '='를 쓸 수 없습니다.").arg(field));
            return false;
        }
    }
    cfgData.insert(QStringLiteral("pc_edit"), QStringLiteral("1"));
    cfgData.insert(QStringLiteral("mem_type"), QString::number(storagePriority));
    cfgData.insert(QStringLiteral("mic"), bit(isVoiceRecording));
    cfgData.insert(QStringLiteral("voice_alarm"), bit(isVoiceGuide));
    cfgData.insert(QStringLiteral("audio_effect"), bit(isEffectSound));
    cfgData.insert(QStringLiteral("volume"), volumes.value(volumeIndex, volumes.first()));
    cfgData.insert(QStringLiteral("event_sens"), QString::number(eventSensitivity));
    cfgData.insert(QStringLiteral("motion_sens"), QString::number(motionSensitivity));
    cfgData.insert(QStringLiteral("ldws"), bit(isLdws));
    cfgData.insert(QStringLiteral("fvsa"), bit(isFvsa));
    cfgData.insert(QStringLiteral("safe_drive"), bit(isSafeDrive));
    cfgData.insert(QStringLiteral("adas_alarm"), bit(isAdasAlarm));
    cfgData.insert(QStringLiteral("ldws_l"), QString::number(ldwsLSensitivity));
    cfgData.insert(QStringLiteral("ldws_r"), QString::number(ldwsRSensitivity));
    cfgData.insert(QStringLiteral("drive_type"), QString::number(driveType));
    cfgData.insert(QStringLiteral("parking_mode"), QString::number(parkingMode));
    cfgData.insert(QStringLiteral("limit_volt"), voltages.value(limitVoltIndex, voltages.first()));
    cfgData.insert(QStringLiteral("lcd_offtime"),
                   offTimes.value(lcdOffTimeIndex, offTimes.first()));
    cfgData.insert(QStringLiteral("rec_quality"), QString::number(recQuality));
    cfgData.insert(QStringLiteral("rec_time"), recTimes.value(recTimeIndex, recTimes.first()));
    cfgData.insert(QStringLiteral("gmt"), gmtIndex >= 0 && gmtIndex <= 2 * gmtOffset
                                              ? QString::number(gmtIndex - gmtOffset)
                                              : m_unlistedGmt);
    if (isTimeSyncEnabled)
        cfgData.insert(QStringLiteral("sync_time"),
                       changedDate.toLocalTime().toString(QStringLiteral("yyyy,MM,dd,HH,mm,ss")));
    else
        cfgData.remove(QStringLiteral("sync_time"));
    cfgData.insert(QStringLiteral("secret_mode"), bit(isSecretMode));
    cfgData.insert(QStringLiteral("wifi_ssid_1"), wifiSSID);
    cfgData.insert(QStringLiteral("wifi_sspw_1"), wifiPW);

    if (!m_card.saveToSDCard(QStringLiteral("bbox.cfg"), formatSettings(cfgData))) {
        setSaveProblem(tr("SD 카드에 설정을 저장하지 못했습니다."));
        return false;
    }
    setSaveProblem({});
    return true;
}

QStringList SettingsViewModel::gmtList()
{
    QStringList items;
    for (int offset = -gmtOffset; offset <= gmtOffset; ++offset)
        items.append(QStringLiteral("GMT %1%2:00")
                         .arg(offset < 0 ? QStringLiteral("-") : QStringLiteral("+"))
                         .arg(std::abs(offset), 2, 10, QLatin1Char('0')));
    return items;
}

QStringList SettingsViewModel::voltageItems() const
{
    QStringList items = {QStringLiteral("OFF"), QStringLiteral("11.8v / 23.6v"),
                         QStringLiteral("12.0v / 24.0v"), QStringLiteral("12.2v / 24.4v"),
                         QStringLiteral("12.4v / 24.8v")};
    if (useHybrid)
        items << QStringLiteral("12.7v (HYBRID)") << QStringLiteral("12.9v (HYBRID)")
              << QStringLiteral("13.1v (HYBRID)") << QStringLiteral("13.3v (HYBRID)");
    return items;
}

QList<int> SettingsViewModel::storagePercents() const
{
    static const QList<int> table[] = {
        {50, 25, 20, 5}, {70, 20, 5, 5}, {30, 20, 45, 5}, {30, 45, 20, 5}};
    if (storagePriority < 0 || storagePriority >= static_cast<int>(std::size(table)))
        return {};
    return table[storagePriority];
}

QString SettingsViewModel::viewerName()
{
    return appName();
}

QString SettingsViewModel::viewerVersion()
{
    return appVersion() + QStringLiteral(" (Build ") + appBuild() + u')';
}

QString SettingsViewModel::changedDay() const
{
    return changedDate.date().toString(Qt::ISODate);
}

void SettingsViewModel::setChangedDay(const QString &day)
{
    const QDate date = QDate::fromString(day, Qt::ISODate);
    if (date.isValid() && date != changedDate.date()) {
        changedDate.setDate(date);
        emit changed();
    }
}

QString SettingsViewModel::changedClock() const
{
    return changedDate.time().toString(QStringLiteral("HH:mm"));
}

void SettingsViewModel::setChangedClock(const QString &clock)
{
    const QTime time = QTime::fromString(clock, QStringLiteral("HH:mm"));
    if (time.isValid() && time != QTime(changedDate.time().hour(), changedDate.time().minute())) {
        changedDate.setTime(time);
        emit changed();
    }
}

void SettingsViewModel::setSaveProblem(const QString &problem)
{
    if (m_saveProblem != problem) {
        m_saveProblem = problem;
        emit saveProblemChanged();
    }
}

} // namespace korvane
