#pragma once

#include "records/settingstext.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

namespace korvane {

class ProcessManager;

// The dashcam's settings as the settings window edits them: read from the card's "bbox.ini"
// (what the dashcam is and can do) and "bbox.cfg" (what the user changed), written back as a new
// "bbox.cfg" on the card volume. Table fields hold an index into their value table.
class SettingsViewModel : public QObject
{
    Q_OBJECT
    // What the dashcam has, from "bbox.ini" only.
    Q_PROPERTY(bool useLdws MEMBER useLdws NOTIFY changed)
    Q_PROPERTY(bool useFvsa MEMBER useFvsa NOTIFY changed)
    Q_PROPERTY(bool useSafeDrive MEMBER useSafeDrive NOTIFY changed)
    Q_PROPERTY(bool useHybrid MEMBER useHybrid NOTIFY changed)
    Q_PROPERTY(bool useSecretMode MEMBER useSecretMode NOTIFY changed)
    // The settings.
    Q_PROPERTY(int storagePriority MEMBER storagePriority NOTIFY changed)
    Q_PROPERTY(bool isVoiceRecording MEMBER isVoiceRecording NOTIFY changed)
    Q_PROPERTY(bool isVoiceGuide MEMBER isVoiceGuide NOTIFY changed)
    Q_PROPERTY(bool isEffectSound MEMBER isEffectSound NOTIFY changed)
    Q_PROPERTY(int volumeIndex MEMBER volumeIndex NOTIFY changed)
    Q_PROPERTY(int eventSensitivity MEMBER eventSensitivity NOTIFY changed)
    Q_PROPERTY(int motionSensitivity MEMBER motionSensitivity NOTIFY changed)
    Q_PROPERTY(bool isLdws MEMBER isLdws NOTIFY changed)
    Q_PROPERTY(bool isFvsa MEMBER isFvsa NOTIFY changed)
    Q_PROPERTY(bool isSafeDrive MEMBER isSafeDrive NOTIFY changed)
    Q_PROPERTY(bool isAdasAlarm MEMBER isAdasAlarm NOTIFY changed)
    Q_PROPERTY(int ldwsLSensitivity MEMBER ldwsLSensitivity NOTIFY changed)
    Q_PROPERTY(int ldwsRSensitivity MEMBER ldwsRSensitivity NOTIFY changed)
    Q_PROPERTY(int driveType MEMBER driveType NOTIFY changed)
    Q_PROPERTY(int parkingMode MEMBER parkingMode NOTIFY changed)
    Q_PROPERTY(int limitVoltIndex MEMBER limitVoltIndex NOTIFY changed)
    Q_PROPERTY(int lcdOffTimeIndex MEMBER lcdOffTimeIndex NOTIFY changed)
    Q_PROPERTY(int recQuality MEMBER recQuality NOTIFY changed)
    Q_PROPERTY(int recTimeIndex MEMBER recTimeIndex NOTIFY changed)
    Q_PROPERTY(int gmtIndex MEMBER gmtIndex NOTIFY changed)
    Q_PROPERTY(bool isTimeSyncEnabled MEMBER isTimeSyncEnabled NOTIFY changed)
    Q_PROPERTY(QDateTime changedDate MEMBER changedDate NOTIFY changed)
    Q_PROPERTY(QString syncTime MEMBER syncTime NOTIFY changed)
    Q_PROPERTY(bool isSecretMode MEMBER isSecretMode NOTIFY changed)
    Q_PROPERTY(QString wifiSSID MEMBER wifiSSID NOTIFY changed)
    Q_PROPERTY(QString wifiPW MEMBER wifiPW NOTIFY changed)
    Q_PROPERTY(QString modelName MEMBER modelName NOTIFY changed)
    Q_PROPERTY(QString fwVersion MEMBER fwVersion NOTIFY changed)
    Q_PROPERTY(QString safeDBversion MEMBER safeDBversion NOTIFY changed)
    // What the window shows beside the fields: the pickers' items, the storage split of the
    // chosen priority, the viewer's version line, the clock to set as editable texts.
    Q_PROPERTY(QStringList gmtList READ gmtList CONSTANT)
    Q_PROPERTY(QStringList voltageItems READ voltageItems NOTIFY changed)
    Q_PROPERTY(QList<int> storagePercents READ storagePercents NOTIFY changed)
    Q_PROPERTY(QString viewerName READ viewerName CONSTANT)
    Q_PROPERTY(QString viewerVersion READ viewerVersion CONSTANT)
    Q_PROPERTY(QString changedDay READ changedDay WRITE setChangedDay NOTIFY changed)
    Q_PROPERTY(QString changedClock READ changedClock WRITE setChangedClock NOTIFY changed)
    // Why the last save wrote nothing, in words for the user; empty after a save that wrote.
    Q_PROPERTY(QString saveProblem READ saveProblem NOTIFY saveProblemChanged)
    // The card volume holds settings saved for the dashcam that differ from those it keeps on
    // the card itself: the dashcam has not taken them yet, and does at its next start. The
    // window shows those settings and says so.
    Q_PROPERTY(bool savedNotYetTaken READ savedNotYetTaken NOTIFY changed)

public:
    // The file values behind the table fields, by index.
    static const QStringList volumes;
    static const QStringList voltages;
    static const QStringList offTimes;
    static const QStringList recTimes;

    explicit SettingsViewModel(ProcessManager &card, QObject *parent = nullptr);

    Q_INVOKABLE void loadSettings();
    void applySettings(const Settings &settings);
    Q_INVOKABLE void resetSettings();
    // Writes "bbox.cfg" to the card volume; false (with saveProblem) when nothing was written: a
    // value that would break the file's lines, or a card volume that took no file.
    Q_INVOKABLE bool saveSettings();
    QString saveProblem() const { return m_saveProblem; }
    bool savedNotYetTaken() const { return m_savedNotYetTaken; }

    // "GMT -12:00" to "GMT +12:00", by index.
    static QStringList gmtList();
    // The low-voltage cut-off choices: the hybrid cable's only when the dashcam has one.
    QStringList voltageItems() const;
    // Driving, event, parking and manual shares of the card in percent for the storage
    // priority; empty for a priority outside the table.
    QList<int> storagePercents() const;
    static QString viewerName();
    static QString viewerVersion();
    // The clock to set as "yyyy-MM-dd" and "HH:mm"; text that is no such date or time is ignored.
    QString changedDay() const;
    void setChangedDay(const QString &day);
    QString changedClock() const;
    void setChangedClock(const QString &clock);

    bool useLdws = true;
    bool useFvsa = true;
    bool useSafeDrive = true;
    bool useHybrid = true;
    bool useSecretMode = true;
    int storagePriority = 0;
    bool isVoiceRecording = true;
    bool isVoiceGuide = true;
    bool isEffectSound = true;
    int volumeIndex = 3;
    int eventSensitivity = 1;
    int motionSensitivity = 1;
    bool isLdws = true;
    bool isFvsa = true;
    bool isSafeDrive = false;
    bool isAdasAlarm = true;
    int ldwsLSensitivity = 1;
    int ldwsRSensitivity = 1;
    int driveType = 1;
    int parkingMode = 1;
    int limitVoltIndex = 2;
    int lcdOffTimeIndex = 1;
    int recQuality = 0;
    int recTimeIndex = 1;
    int gmtIndex = 0;
    bool isTimeSyncEnabled = false;
    QDateTime changedDate = QDateTime::currentDateTime();
    QString syncTime;
    bool isSecretMode = true;
    QString wifiSSID;
    QString wifiPW;
    QString modelName;
    QString fwVersion;
    QString safeDBversion;
    Settings iniData;
    Settings cfgData;

signals:
    void changed();
    void saveProblemChanged();

private:
    void setSaveProblem(const QString &problem);

    ProcessManager &m_card;
    QString m_saveProblem;
    bool m_savedNotYetTaken = false;
    QString m_unlistedGmt; // an offset from the card outside the list, kept to write back
};

} // namespace korvane
