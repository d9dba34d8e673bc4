// The two serial search calls turn the port map into ConnectionRecords.
#include "lab_fixture.h"

TEST(SearchCalls, ListUsbAndComPortsOfThePortMap) {
    auto lab = StartLab("[sensor u]\nKind=USB\nCom=34\nName=FT232R USB UART (COM34)\n"
                        "TypeText=USB serial adapter\n"
                        "[sensor c]\nKind=COM\nCom=3\n");
    ASSERT_TRUE(lab);
    ListType list = ListCreate(sizeof(ConnectionRecord));
    ASSERT_GE(KORALINK_search_local_USB(&list), 1);
    ASSERT_GE(KORALINK_search_local_COM(&list), 1);
    ASSERT_EQ(ListNumItems(list), 2) << "each port must be listed once, by its own call";
    ConnectionRecord usb, com;
    ListGetItem(list, &usb, 1);
    ListGetItem(list, &com, 2);
    EXPECT_EQ(usb.type, KORALINK_TYPE_USB);
    EXPECT_EQ(usb.comNumber, 34);
    EXPECT_STREQ(usb.name, "FT232R USB UART (COM34)");
    EXPECT_STREQ(usb.typeText, "USB serial adapter");
    EXPECT_EQ(com.type, KORALINK_TYPE_COM);
    EXPECT_EQ(com.comNumber, 3);
    EXPECT_STREQ(com.name, "Communications Port (COM3)");
    ListDispose(list);

    ListType wrong = ListCreate(16);
    EXPECT_EQ(KORALINK_search_local_USB(&wrong), -2) << "appended 324-byte records to a list "
                                                        "of 16-byte items";
    ListDispose(wrong);
    EXPECT_EQ(KORALINK_search_local_COM(nullptr), -2);
}
