#include <gtest/gtest.h>

#include "platform/echo/echo_destination.h"

TEST(EchoDestination, TakesTheFourDecimalPartsTheEditorStores) {
    EXPECT_EQ(echo_destination("192.168.1.1"), 0xC0A80101u);
    EXPECT_EQ(echo_destination("127.0.0.1"), 0x7F000001u);
    EXPECT_EQ(echo_destination("223.255.255.254"), 0xDFFFFFFEu);
    // blanks around an octet pass the editor's check, so they are stored
    EXPECT_EQ(echo_destination(" 10. 0 .0 . 1 "), 0x0A000001u);
    // an operator's leading zero is still decimal, not octal
    EXPECT_EQ(echo_destination("010.001.000.099"), 0x0A010063u);
}

TEST(EchoDestination, RefusesTextsThatNameNoSingleHost) {
    const char* const malformed[] = {
        "1.2.3",     "1.2.3.4.5", "1.2.3.",     "...",        ".1.2.3",   "1..2.3",
        "256.1.1.1", "1.2.3.256", "1.2.3.4000", "0x7f.0.0.1", "+1.2.3.4", "-1.2.3.4",
        "1.2.3.4a",  "a.b.c.d",   "1.5.2.3.4",  "1 2.3.4.5",  " ",        ""};
    const char* const not_one_host[] = {"0.0.0.0",         "0.1.2.3",   "224.0.0.1",
                                        "239.255.255.250", "240.0.0.1", "255.255.255.255"};
    for (const char* text : malformed)
        EXPECT_FALSE(echo_destination(text)) << '"' << text << '"';
    for (const char* text : not_one_host)
        EXPECT_FALSE(echo_destination(text)) << text;
    EXPECT_FALSE(echo_destination("\xef\xbc\x91.2.3.4")); // full-width digit, UTF-8
}
