// Every program's command line as a user meets it: help and version on standard output, usage
// errors naming what was wrong, missing files, folders and non-recordings named with the
// reason, nothing written where a run failed, and data never mixed with messages.
#include "samplerecordings.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utility>

using korvane::test::ProgramRun;
using korvane::test::run;

namespace {

// The paths a case may name, as placeholders in its arguments and expected texts.
class Places
{
public:
    Places()
    {
        korvane::test::writeFile(m_files.filePath(QStringLiteral("notes.txt")),
                                 "a shopping list\n");
        korvane::test::writeFile(m_files.filePath(QStringLiteral("tune.mp3")), "a tune\n");
        QDir().mkpath(m_files.filePath(QStringLiteral("folder")));
        mkfifo(QFile::encodeName(m_files.filePath(QStringLiteral("pipe"))).constData(), 0600);
    }

    QString operator()(QString text) const
    {
        return text.replace(QLatin1String("{card}"), card())
            .replace(QLatin1String("{recording}"), recording())
            .replace(QLatin1String("{text}"), m_files.filePath(QStringLiteral("notes.txt")))
            .replace(QLatin1String("{folder}"), m_files.filePath(QStringLiteral("folder")))
            .replace(QLatin1String("{missing}"), m_files.filePath(QStringLiteral("missing.mp4")))
            .replace(QLatin1String("{nofolder}"), m_files.filePath(QStringLiteral("nothing")))
            .replace(QLatin1String("{pipe}"), m_files.filePath(QStringLiteral("pipe")))
            .replace(QLatin1String("{files}"), m_files.path());
    }

    // Where every run works: a failed run must leave it as empty as it found it.
    QString scratch() const { return m_scratch.path(); }
    // A home of the test's own for the viewer's working and tools folders.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                           m_home.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"),
                           m_home.filePath(QStringLiteral("data")));
        return environment;
    }

private:
    static QString card() { return korvane::test::sampleCardImage({"--seconds", "1"}); }
    static QString recording()
    {
        return korvane::test::sampleRecording({"--channels", "1", "--seconds", "1"});
    }

    QTemporaryDir m_files;
    QTemporaryDir m_scratch;
    QTemporaryDir m_home;
};

struct Case
{
    const char *what;
    QStringList arguments;
    int exitCode;
    const char *out; // what standard output holds; "" when it must stay empty
    const char *err; // what standard error holds; "" when it must stay empty
};

// Runs every case of one program. Messages of our programs begin with the program's name; a
// usage error shows the usage after its problem.
void checkCases(const QString &program, const char *name, std::initializer_list<Case> cases,
                bool ownMessages = true)
{
    const Places places;
    for (const Case &c : cases) {
        QStringList arguments;
        for (const QString &argument : c.arguments)
            arguments << places(argument);
        const ProgramRun r = run(program, arguments, places.environment(), places.scratch());
        const QByteArray out = places(QString::fromUtf8(c.out)).toUtf8();
        const QByteArray err = places(QString::fromUtf8(c.err)).toUtf8();
        EXPECT_EQ(r.exitCode, c.exitCode) << name << ", " << c.what << ": " << r.err.constData();
        EXPECT_TRUE(out.isEmpty() ? r.out.isEmpty() : r.out.contains(out))
            << name << ", " << c.what << ": " << r.out.constData();
        EXPECT_TRUE(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err))
            << name << ", " << c.what << ": " << r.err.constData();
        const bool logs = c.arguments.contains(QStringLiteral("--verbose"));
        EXPECT_TRUE(!ownMessages || logs || r.err.isEmpty() ||
                    r.err.startsWith(QByteArray(name) + ": "))
            << c.what;
        EXPECT_TRUE(!ownMessages || c.exitCode != 2 ||
                    r.err.contains("\nusage: " + QByteArray(name)))
            << c.what;
        EXPECT_TRUE(c.exitCode == 0 ||
                    QDir(places.scratch())
                        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                        .isEmpty())
            << name << ", " << c.what << ": a failed run wrote something";
    }
}

const char *const version = " (Korvane) " KORVANE_VERSION ", build ";

} // namespace

TEST(Cli, KorvaneCli)
{
    const QString version = QStringLiteral("korvane-cli") + QLatin1String(::version);
    checkCases(
        KORVANE_CLI_PATH, "korvane-cli",
        {
            {"--help", {"--help"}, 0, "usage: korvane-cli", ""},
            {"-h after a command",
             {"gpx", "-h"},
             0,
             "card list [--type TYPE] [--drives [--json]] CARD",
             ""},
            {"--version", {"--version"}, 0, version.toUtf8().constData(), ""},
            {"nothing", {}, 2, "", "korvane-cli: no command given\n"},
            {"unknown command", {"play", "{recording}"}, 2, "", "unknown command 'play'"},
            {"unknown option", {"--fast", "gpx", "{recording}"}, 2, "", "unknown option '--fast'"},
            {"extra argument", {"gpx", "{recording}", "more"}, 2, "", "unexpected argument 'more'"},
            {"no file", {"metadata"}, 2, "", "metadata needs FILE"},
            {"an empty file name", {"gpx", ""}, 2, "", "korvane-cli: FILE is empty\n"},
            {"card without list",
             {"card", "{card}"},
             2,
             "",
             "card needs the subcommand list or save"},
            {"a type by its meaning",
             {"card", "list", "--type", "kept", "{card}"},
             2,
             "",
             "unknown recording type 'kept' (normal, event, park, manual or saved)"},
            {"a type elsewhere",
             {"gpx", "--type", "event", "{recording}"},
             2,
             "",
             "--type belongs to card list and card save"},
            {"metadata of a recording, without a word",
             {"metadata", "{recording}"},
             0,
             "\"type\": \"video_info\"",
             ""},
            {"metadata of a missing file",
             {"metadata", "{missing}"},
             1,
             "",
             "korvane-cli: cannot read {missing}: No such file or directory\n"},
            {"gpx of a folder",
             {"gpx", "{folder}"},
             1,
             "",
             "korvane-cli: cannot read {folder}: a folder, not a recording\n"},
            {"metadata of a device",
             {"metadata", "/dev/null"},
             1,
             "",
             "korvane-cli: cannot read /dev/null: not a regular file\n"},
            {"metadata of a text",
             {"metadata", "{text}"},
             0,
             "[\n]",
             "korvane-cli: no records in {text}\n"},
            {"gpx of a text",
             {"gpx", "{text}"},
             0,
             "<trkseg/>",
             "korvane-cli: no GPS fixes in {text}\n"},
            {"card list of a missing image",
             {"card", "list", "{missing}"},
             1,
             "",
             "korvane-cli: cannot read {missing}: No such file or directory\n"},
            {"card list of a folder",
             {"card", "list", "{folder}"},
             1,
             "",
             "korvane-cli: cannot read {folder}: a folder, not a card or card image\n"},
            {"card list of a text",
             {"card", "list", "{text}"},
             1,
             "",
             "korvane-cli: cannot read {text}: not an ext4 file system at byte "
             "104857600\n"},
            {"card list of one type",
             {"card", "list", "--type", "saved", "{card}"},
             0,
             "saved\tE_20241003_081500.mp4\t",
             ""},
            {"drives elsewhere",
             {"card", "save", "--drives", "{card}", "{folder}"},
             2,
             "",
             "--drives belongs to card list"},
            {"json without drives",
             {"card", "list", "--json", "{card}"},
             2,
             "",
             "--json belongs to card list --drives"},
            {"the drives of one folder",
             {"card", "list", "--type", "park", "--drives", "{card}"},
             0,
             "2024-10-04 22:00:00\t2024-10-04 22:01:00\t60\t1\t0\tparking\n",
             ""},
            {"repair of a missing file",
             {"repair", "{missing}", "fixed.mp4"},
             1,
             "",
             "korvane-cli: cannot read {missing}: No such file or directory\n"},
            {"repair into a missing folder",
             {"repair", "{recording}", "{nofolder}/fixed.mp4"},
             1,
             "",
             "korvane-cli: cannot write {nofolder}/fixed.mp4: no folder {nofolder}\n"},
            {"repair over its input",
             {"repair", "{text}", "{text}"},
             1,
             "",
             "korvane-cli: cannot write {text}: it is INPUT\n"},
            {"repair of a text",
             {"repair", "{text}", "fixed.mp4"},
             1,
             "",
             "korvane-cli: cannot rebuild {text}: it holds no channel table\n"},
            {"repair without OUTPUT", {"repair", "{recording}"}, 2, "", "repair needs OUTPUT"},
            {"card save into a missing folder",
             {"card", "save", "{card}", "{nofolder}"},
             1,
             "",
             "korvane-cli: cannot write into {nofolder}: no such folder\n"},
            {"card save of a text",
             {"card", "save", "{text}", "{folder}"},
             1,
             "",
             "not an ext4 file system at byte 104857600\n"},
            {"a camera that no dashcam has",
             {"card", "save", "--channel", "6", "{card}", "{folder}"},
             2,
             "",
             "--channel takes a camera from 1 to 5"},
            {"a channel to list",
             {"card", "list", "--channel", "1", "{card}"},
             2,
             "",
             "--channel belongs to card save"},
            {"card save of every folder",
             {"card", "save", "--type", "all", "{card}", "{folder}"},
             0,
             "{folder}/N_20241005_144012.mp4\n",
             ""},
            {"log lines only when asked",
             {"--verbose", "card", "list", "{card}"},
             0,
             "normal\tN_20241005_143012.mp4\t",
             "App -> [ProcessManager] "},
        },
        true);
}

// A script's command line starts without the player, the window or the network: korvane-cli asks
// the player in a process of its own (korvane-playcheck).
TEST(Cli, KorvaneCliLinksNoPlayerWindowOrNetwork)
{
    const ProgramRun linked = run(QStringLiteral("ldd"), {KORVANE_CLI_PATH});
    ASSERT_EQ(linked.exitCode, 0) << linked.err.constData();
    ASSERT_TRUE(linked.out.contains("libQt6Core.so")) << linked.out.constData();
    for (const char *library :
         {"libQt6Gui", "libQt6Multimedia", "libQt6Network", "libQt6Qml", "libgstreamer"})
        EXPECT_FALSE(linked.out.contains(library)) << library << " in\n" << linked.out.constData();
}

TEST(Cli, KorvaneCliCardListShowsItsFoldersOnATerminalAndOneTypeOnly)
{
    const Places places;
    const ProgramRun typed =
        run(KORVANE_CLI_PATH, {"card", "list", "--type", "event", places("{card}")},
            places.environment());
    const QByteArrayList lines = typed.out.split('\n');
    ASSERT_EQ(lines.size(), 3) << typed.out.constData();
    EXPECT_TRUE(lines[0].startsWith("event\tE_20241005_143512.mp4\t"));
    EXPECT_EQ(lines[1], "active channels: 2");

    // script(1) gives the program a terminal for both of its output streams.
    const ProgramRun shown =
        run(QStringLiteral("script"),
            {"-qec", QStringLiteral("'%1' card list '%2'").arg(KORVANE_CLI_PATH, places("{card}")),
             "/dev/null"},
            places.environment());
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_TRUE(shown.out.contains("\rkorvane-cli: reading mov/park on ")) << shown.out.constData();
    EXPECT_TRUE(shown.out.contains("\r\x1b[Knormal\tN_20241005_143012.mp4"))
        << "the progress line is erased before the list";
}

TEST(Cli, DashcamSample)
{
    const QString version = QStringLiteral("dashcam-sample") + QLatin1String(::version);
    checkCases(DASHCAM_SAMPLE_PATH, "dashcam-sample",
               {
                   {"--help", {"--help"}, 0, "dashcam-sample card [options] IMAGE", ""},
                   {"card --help", {"card", "--help"}, 0, "--volume DIR", ""},
                   {"--help among options", {"--seconds", "3", "-h", "x.mp4"}, 0, "--no-sound", ""},
                   {"--version", {"--version"}, 0, version.toUtf8().constData(), ""},
                   {"nothing", {}, 2, "", "dashcam-sample: no OUTPUT given\n"},
                   {"an empty OUTPUT", {""}, 2, "", "dashcam-sample: OUTPUT is empty\n"},
                   {"into a pipe",
                    {"--seconds", "1", "{pipe}"},
                    1,
                    "",
                    "dashcam-sample: cannot write {pipe}: not a regular file\n"},
                   {"unknown option", {"--fps", "30", "x.mp4"}, 2, "", "unknown option --fps"},
                   {"a type by its meaning",
                    {"--type", "parking", "x.mp4"},
                    2,
                    "",
                    "--type: one of normal, event, park, manual, saved, got parking"},
                   {"card without an image",
                    {"card", "--channels", "2"},
                    2,
                    "",
                    "dashcam-sample: no IMAGE given\n"},
                   {"card with two images",
                    {"card", "a.img", "b.img"},
                    2,
                    "",
                    "more than one IMAGE given"},
                   {"card with a bad number",
                    {"card", "--seconds", "3s", "a.img"},
                    2,
                    "",
                    "--seconds: not a number: 3s"},
                   {"into a missing folder",
                    {"--seconds", "1", "{nofolder}/x.mp4"},
                    1,
                    "",
                    "dashcam-sample: cannot write {nofolder}/x.mp4: no folder {nofolder}\n"},
                   {"into a missing folder by name",
                    {"--seconds", "1", "{nofolder}/"},
                    1,
                    "",
                    "no folder {nofolder}\n"},
                   {"beneath a file",
                    {"--seconds", "1", "{text}/x.mp4"},
                    1,
                    "",
                    "cannot write {text}/x.mp4: {text} is not a folder\n"},
                   {"a card image over a folder",
                    {"card", "{folder}"},
                    1,
                    "",
                    "dashcam-sample: cannot write {folder}: it is a folder\n"},
                   {"a card image in a missing folder",
                    {"card", "{nofolder}/card.img"},
                    1,
                    "",
                    "no folder {nofolder}\n"},
                   {"a volume over a file",
                    {"card", "--volume", "{text}", "card.img"},
                    1,
                    "",
                    "cannot make the folder {text}: a file is there\n"},
                   {"a volume that is the image",
                    {"card", "--volume", "c.img", "./c.img"},
                    1,
                    "",
                    "dashcam-sample: --volume c.img is IMAGE itself\n"},
                   {"an image inside its own tree",
                    {"card", "--from", "{files}", "{folder}/c.img"},
                    1,
                    "",
                    "cannot write {folder}/c.img inside the --from folder it is made of\n"},
                   {"a card tree that is not there",
                    {"card", "--from", "{missing}", "card.img"},
                    1,
                    "",
                    "dashcam-sample: --from {missing}: no such folder\n"},
               });
}

TEST(Cli, Korvane)
{
    // All of it is read before the window: no display is needed.
    const QString version = QStringLiteral("korvane") + QLatin1String(::version);
    checkCases(
        KORVANE_PATH, "korvane",
        {
            {"--help", {"--help"}, 0, "--card-volume DIR", ""},
            {"-h", {"-h"}, 0, "Exit status: 0 when the viewer was closed", ""},
            {"--version", {"--version"}, 0, version.toUtf8().constData(), ""},
            {"unknown argument", {"card.img"}, 2, "", "korvane: unknown argument 'card.img'\n"},
            {"--card without an image", {"--card"}, 2, "", "korvane: --card needs a card image\n"},
            {"a missing image",
             {"--card", "{missing}"},
             2,
             "",
             "korvane: no card image {missing}\n"},
            {"a folder as the image",
             {"--card", "{folder}"},
             2,
             "",
             "korvane: {folder} is a folder, not a card image\n"},
            {"a volume without a card",
             {"--card-volume", "{folder}"},
             2,
             "",
             "korvane: --card-volume goes with --card\n"},
            {"a volume that is not a folder",
             {"--card={card}", "--card-volume={text}"},
             2,
             "",
             "korvane: no folder {text}\n"},
            {"a language without a translation",
             {"--lang", "fr"},
             2,
             "",
             "korvane: --lang takes ko or en\n"},
        });
}

TEST(Cli, Durnix)
{
    const QString version = QStringLiteral("durnix") + QLatin1String(::version);
    const QString offset = QStringLiteral("104857600");
    checkCases(
        DURNIX_PATH, "durnix",
        {
            {"--help", {"--help"}, 0, "Exit status: 0 done; 1 failed", ""},
            {"-h", {"-h"}, 0, "written as a backslash and three octal digits", ""},
            {"--version", {"--version"}, 0, version.toUtf8().constData(), ""},
            {"nothing", {}, 2, "", "durnix: no command given\n"},
            {"unknown command",
             {"rm", "{card}", offset, "cfg"},
             2,
             "",
             "durnix: unknown command 'rm'\n"},
            {"unknown option", {"--all"}, 2, "", "durnix: unknown option '--all'\n"},
            {"ls without a folder",
             {"ls", "{card}", offset},
             2,
             "",
             "ls takes DEVICE OFFSET FOLDER"},
            {"read without a local file",
             {"read", "{card}", offset, "cfg/bbox.ini"},
             2,
             "",
             "read takes [--salvage] DEVICE OFFSET PATH LOCALFILE"},
            {"an offset in other words",
             {"ls", "{card}", "100MiB", "cfg"},
             2,
             "",
             "OFFSET is not a number of bytes: '100MiB'"},
            {"a way out of the card",
             {"ls", "{card}", offset, "../cfg"},
             2,
             "",
             "not a path on the card"},
            {"an absolute path", {"ls", "{card}", offset, "/cfg"}, 2, "", "not a path on the card"},
            {"a missing image",
             {"ls", "{missing}", offset, "cfg"},
             1,
             "",
             "durnix: cannot read {missing}: No such file or directory\n"},
            {"a folder",
             {"ls", "{folder}", offset, "cfg"},
             1,
             "",
             "durnix: cannot read {folder}: a folder, not a card or card image\n"},
            {"a text",
             {"ls", "{text}", offset, "cfg"},
             1,
             "",
             "durnix: cannot read {text}: not an ext4 file system at byte 104857600\n"},
            {"another offset",
             {"ls", "{card}", "0", "cfg"},
             1,
             "",
             "not an ext4 file system at byte 0\n"},
            {"a folder the card lacks",
             {"ls", "{card}", offset, "mov/kept"},
             1,
             "",
             "durnix: cannot read mov/kept on {card}: cannot find kept\n"},
            {"a file named like an option",
             {"read", "{card}", offset, "--help", "x"},
             1,
             "",
             "cannot find --help"},
            {"into a missing folder",
             {"read", "{card}", offset, "cfg/bbox.ini", "{nofolder}/bbox.ini"},
             1,
             "",
             "durnix: cannot write {nofolder}/bbox.ini: No such file or directory\n"},
            {"over a folder",
             {"read", "{card}", offset, "cfg/bbox.ini", "{folder}"},
             1,
             "",
             "durnix: cannot write {folder}: a folder\n"},
            {"over a pipe",
             {"read", "{card}", offset, "cfg/bbox.ini", "{pipe}"},
             1,
             "",
             "durnix: cannot write {pipe}: not a regular file\n"},
            {"a listing", {"ls", "{card}", offset, "cfg"}, 0, " bbox.ini 214\n", ""},
        });
}

// salvex keeps the messages and statuses the viewer was built against: its own usage line, no
// program prefix, 1 for every failure, and nothing ever on standard output.
TEST(Cli, Salvex)
{
    checkCases(
        SALVEX_PATH, "salvex",
        {
            {"nothing",
             {},
             1,
             "",
             "usage: salvex <broken.mp4> <fixed.mp4> [1920x1080@30 1920x1080@30 ...]\n"},
            {"one path", {"--help"}, 1, "", "usage: salvex"},
            {"a missing input", {"{missing}", "fixed.mp4"}, 1, "", "cannot read input file\n"},
            {"a folder as input", {"{folder}", "fixed.mp4"}, 1, "", "cannot read input file\n"},
            {"into a missing folder",
             {"{text}", "{nofolder}/fixed.mp4"},
             1,
             "",
             "failed to open output file\n"},
            {"its sound over its input",
             {"{files}/tune.mp3", "{files}/tune.mp4"},
             1,
             "",
             "failed to open output file\n"},
            {"over its input", {"{text}", "{text}"}, 1, "", "failed to open output file\n"},
            {"into a pipe", {"{text}", "{pipe}"}, 1, "", "failed to open output file\n"},
            {"a text holds no frame",
             {"{text}", "{folder}/fixed.mp4"},
             1,
             "",
             "frames=0 duration≈0s\nno recording frames found in {text}\n"},
        },
        false);
}

namespace {

// The words of a usage text a manual page must also have: the commands of its usage lines and
// every option it names.
QStringList namedInHelp(const QString &help)
{
    QStringList words;
    const QString synopsis = help.left(help.indexOf(QLatin1String("\n\n")));
    static const QRegularExpression command(QStringLiteral("(?<=\\s)[a-z]+(?=[\\s\\]|])"));
    for (const QRegularExpressionMatch &m : command.globalMatch(synopsis))
        words << m.captured();
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z0-9-]*"));
    for (const QRegularExpressionMatch &m : option.globalMatch(help))
        words << m.captured();
    words.removeDuplicates();
    return words;
}

QString manualPage(const QString &program)
{
    return QString::fromUtf8(korvane::test::readFile(QStringLiteral(MANUAL_SOURCES "/") + program +
                                                     QStringLiteral(".1.scd")))
        .remove(QLatin1Char('*'));
}

} // namespace

TEST(Cli, ManualPagesNameWhatHelpNames)
{
    for (const auto &[program, path] :
         {std::pair{"korvane", KORVANE_PATH}, std::pair{"korvane-cli", KORVANE_CLI_PATH},
          std::pair{"durnix", DURNIX_PATH}}) {
        const ProgramRun help = run(QString::fromUtf8(path), {"--help"});
        const QStringList words = namedInHelp(QString::fromUtf8(help.out));
        EXPECT_GT(words.size(), 4) << program;
        const QString page = manualPage(QString::fromUtf8(program));
        for (const QString &word : words) {
            static const QRegularExpression alone(QStringLiteral("(?<![\\w-])%1(?![\\w-])"));
            EXPECT_TRUE(page.contains(
                QRegularExpression(alone.pattern().arg(QRegularExpression::escape(word)))))
                << program << "(1) lacks " << word.toStdString();
        }
    }
    // salvex has no help of its own: its usage line is its whole command line.
    const ProgramRun usage = run(QStringLiteral(SALVEX_PATH), {});
    EXPECT_TRUE(
        manualPage(QStringLiteral("salvex")).contains(QString::fromUtf8(usage.err.trimmed())));
}

TEST(Cli, DataThatCannotBeWrittenIsAFailure)
{
    const Places places;
    const ProgramRun full =
        run(QStringLiteral("/bin/sh"), {"-c", QStringLiteral("'%1' metadata '%2' > /dev/full")
                                                  .arg(KORVANE_CLI_PATH, places("{recording}"))});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.err, "korvane-cli: cannot write to standard output: No space left on device\n");
}

// The FAT volume in front of the card's file system stays the same however much the card holds.
TEST(Cli, DashcamSampleMakesCardsLargerThanHalfAGigabyte)
{
    QTemporaryDir folder;
    const QString tree = folder.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/cfg"));
    QDir().mkpath(tree + QStringLiteral("/mov/normal"));
    QFile large(tree + QStringLiteral("/mov/normal/N_20241005_143012.mp4"));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    ASSERT_TRUE(large.resize(qint64{600} << 20)); // sparse: no time or room taken
    large.close();
    const QString image = folder.filePath(QStringLiteral("card.img"));
    const ProgramRun made = run(DASHCAM_SAMPLE_PATH, {"card", "--from", tree, image});
    EXPECT_EQ(made.exitCode, 0) << made.err.constData();
    const ProgramRun listed = run(DURNIX_PATH, {"ls", image, "104857600", "mov/normal"});
    EXPECT_TRUE(listed.out.contains(" N_20241005_143012.mp4 629145600\n"))
        << listed.err.constData();
}

// A rebuilt recording plays, and keeps what the dashcam stored in it: its metadata and route
// read as the original's. A second repair to the same OUTPUT leaves the first one as it is.
TEST(Cli, RepairMakesRecordingsPlayWithTheirRecords)
{
    QTemporaryDir folder;
    const Places places;
    const QString wanted = folder.filePath(QStringLiteral("fixed.mp4"));
    QByteArray first;
    for (const QString &input :
         {korvane::test::sampleRecording({"--channels", "2", "--seconds", "2", "--unfinished"}),
          korvane::test::sampleRecording({"--channels", "2", "--seconds", "2"})}) {
        const QString output = first.isEmpty() ? wanted : folder.filePath("fixed_2.mp4");
        const ProgramRun repaired =
            run(KORVANE_CLI_PATH, {"repair", input, wanted}, places.environment());
        ASSERT_EQ(repaired.exitCode, 0) << repaired.err.constData();
        EXPECT_EQ(repaired.out, output.toUtf8() + "\n");
        if (first.isEmpty())
            first = korvane::test::readFile(wanted);
        EXPECT_EQ(korvane::test::readFile(wanted), first);
        EXPECT_EQ(repaired.err, "");
        EXPECT_EQ(korvane::test::ffprobeStreams(output, "codec_type"),
                  QStringList({"video", "video", "audio"}))
            << input.toStdString();
        EXPECT_EQ(korvane::test::decodeErrors(output), "") << input.toStdString();
        for (const char *command : {"metadata", "gpx"}) {
            const QByteArray original = run(KORVANE_CLI_PATH, {command, input}).out;
            const QByteArray rebuilt = run(KORVANE_CLI_PATH, {command, output}).out;
            EXPECT_EQ(QString::fromUtf8(rebuilt).replace(QFileInfo(output).fileName(), QString()),
                      QString::fromUtf8(original).replace(QFileInfo(input).fileName(), QString()))
                << command << " of " << input.toStdString();
        }
    }
}

// A card read only in part: what could be read is saved, and the run says what could not.
TEST(Cli, CardSaveOfACardReadInPartFails)
{
    QTemporaryDir folder;
    const QString tree = folder.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/cfg"));
    QDir().mkpath(tree + QStringLiteral("/mov/normal"));
    korvane::test::writeFile(tree + QStringLiteral("/cfg/bbox.ini"), "[bbox]\nch1_resol=640x360\n");
    ASSERT_TRUE(QFile::copy(korvane::test::sampleRecording({"--channels", "1", "--seconds", "1"}),
                            tree + QStringLiteral("/mov/normal/N_20241005_143012.mp4")));
    korvane::test::writeFile(tree + QStringLiteral("/mov/event"), "not a folder");
    const QString image = folder.filePath(QStringLiteral("card.img"));
    ASSERT_EQ(run(DASHCAM_SAMPLE_PATH, {"card", "--from", tree, image}).exitCode, 0);
    const QString saved = folder.filePath(QStringLiteral("saved"));
    QDir().mkpath(saved);
    const Places places;
    const ProgramRun r =
        run(KORVANE_CLI_PATH, {"card", "save", image, saved}, places.environment());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, saved.toUtf8() + "/N_20241005_143012.mp4\n");
    EXPECT_TRUE(r.err.startsWith("korvane-cli: some of " + image.toUtf8() +
                                 " could not be read, so not every recording on it was saved: "))
        << r.err.constData();
    EXPECT_TRUE(QDir(places.environment().value(QStringLiteral("XDG_CACHE_HOME")))
                    .entryList({QStringLiteral("korvane-cli-*")}, QDir::Dirs)
                    .isEmpty())
        << "the run's working folder is gone";
}
