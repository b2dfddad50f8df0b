// The message table: every row in every language, and lookups outside it.

#include "message_table.h"

#include <QTest>

class MessageTableTest : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void lookupsOutsideTheTable();
};

void MessageTableTest::rows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("simplified");
    QTest::addColumn<QString>("traditional");
    // Spot checks across the table: punctuation, blanks and both Chinese scripts.
    const QString footerTail = QStringLiteral("   ") + MakersWebAddress;
    QTest::newRow("footer") << 0 << "VANTREL Technology Corp." + footerTail
                            << "VANTREL股份有限公司" + footerTail
                            << "VANTREL股份有限公司" + footerTail;
    QTest::newRow("caption") << 1 << "VANTREL TX4040 Module Config V3.20-01"
                             << "VANTREL TX4040 输入输出模组设定程式 V3.20-01"
                             << "VANTREL TX4040 輸入輸出模組設定程式 V3.20-01";
    QTest::newRow("refusal") << 2 << "Start Scan Module!"
                             << "请先扫描模组!"
                             << "請先掃描模組!";
    QTest::newRow("cancel") << 3 << "Cancel Process Module(Space Key)"
                            << "取消连线(空白键)"
                            << "取消連線(空白鍵)";
    QTest::newRow("baud rate button") << 6 << "Set Module Baud Rate (Reset)"
                                      << "设定通讯速度(重置)"
                                      << "設定通訊速度(重置)";
    QTest::newRow("info ok") << 19 << "Get Module Info Ok. (COM"
                             << "读取模组资讯完成. (串口"
                             << "讀取模組資訊完成. (串口";
    QTest::newRow("not found") << 21 << "Module Not Find"
                               << "模组没有连线"
                               << "模組沒有連線";
    QTest::newRow("factory error") << 33 << "Set Factory Default Error"
                                   << "设定出厂预设值错误"
                                   << "設定出廠預設值錯誤";
    QTest::newRow("last row") << 40 << "Set Baudrate 115200 Error"
                              << "设定快速模式错误"
                              << "設定快速模式錯誤";
}

void MessageTableTest::rows()
{
    QFETCH(int, row);
    QFETCH(QString, english);
    QFETCH(QString, simplified);
    QFETCH(QString, traditional);
    const MessageTable table;
    QCOMPARE(table.text(row, 0), english);
    QCOMPARE(table.text(row, 1), simplified);
    QCOMPARE(table.text(row, 2), traditional);
}

void MessageTableTest::lookupsOutsideTheTable()
{
    const MessageTable table;
    for (int row = 0; row < MessageTable::RowCount; ++row) {
        for (int language = 0; language < MessageTable::LanguageCount; ++language)
            QVERIFY2(!table.text(row, language).isEmpty(), qPrintable(QString::number(row)));
        QCOMPARE(table.text(row, 3), table.text(row, 0));
        QCOMPARE(table.text(row, -1), table.text(row, 0));
    }
    QCOMPARE(table.text(MessageTable::RowCount, 0), QString());
    QCOMPARE(table.text(-1, 1), QString());
}

QTEST_GUILESS_MAIN(MessageTableTest)
#include "test_message_table.moc"
