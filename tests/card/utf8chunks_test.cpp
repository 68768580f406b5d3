#include "qtprinters.h"
#include "card/utf8chunks.h"

#include <gtest/gtest.h>

using namespace korvane;

TEST(Utf8Chunks, CharacterCutBetweenChunksArrivesWhole)
{
    const QByteArray text = QStringLiteral("sps_id 32 out of range 블랙박스 \U0001F697\n").toUtf8();
    // Every way of cutting the text in two gives it back whole, in order.
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        Utf8Chunks chunks;
        QString joined = chunks.decode(text.left(cut));
        joined += chunks.decode(text.mid(cut));
        joined += chunks.finish();
        EXPECT_EQ(joined, QString::fromUtf8(text)) << "cut at " << cut;
    }
}

TEST(Utf8Chunks, BytesThatAreNotUtf8AreReplacedNotDropped)
{
    Utf8Chunks chunks;
    EXPECT_EQ(chunks.decode("ok \xff\xfe done"), QStringLiteral("ok \uFFFD\uFFFD done"));
    EXPECT_EQ(chunks.decode("cut \xeb\xb8"), QStringLiteral("cut "));
    EXPECT_EQ(chunks.finish(), QStringLiteral("\uFFFD\uFFFD"))
        << "an unfinished character at the very end";
    EXPECT_EQ(chunks.finish(), QString());
}
