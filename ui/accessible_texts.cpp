#include "accessible_texts.h"

#include <array>

using namespace Qt::StringLiterals;

QString AccessibleTextOf(AccessibleText text, int languageIndex)
{
    using Row = std::array<QString, 3>;
    static const Row rows[] = {
        {u"Search at one baud rate only"_s, u"只以一种通讯速度扫描"_s, u"只以一種通訊速度掃描"_s},
        {u"The scan tries each COM port only at the baud rate it last found the module at"_s,
         u"扫描时每个串口只试上次找到模组的通讯速度"_s,
         u"掃描時每個串口只試上次找到模組的通訊速度"_s},
        {u"Communication lamp"_s, u"通讯灯"_s, u"通訊燈"_s},
        {u"idle"_s, u"待机"_s, u"待機"_s},
        {u"busy"_s, u"忙碌"_s, u"忙碌"_s},
        {u"success"_s, u"成功"_s, u"成功"_s},
        {u"failure"_s, u"失败"_s, u"失敗"_s},
        {u"Input %1"_s, u"输入 %1"_s, u"輸入 %1"_s},
        {u"on"_s, u"开"_s, u"開"_s},
        {u"off"_s, u"关"_s, u"關"_s},
        {u"All outputs"_s, u"全部输出"_s, u"全部輸出"_s},
        {u"Turns DO1 to DO4 all on, or all off when DO1 is on"_s,
         u"DO1 至 DO4 全部打开; DO1 已打开时全部关闭"_s,
         u"DO1 至 DO4 全部打開; DO1 已打開時全部關閉"_s},
        {u"Simplified Chinese"_s, u"简体中文"_s, u"簡體中文"_s},
        {u"Traditional Chinese"_s, u"繁体中文"_s, u"繁體中文"_s},
    };
    static_assert(std::size(rows) == size_t(AccessibleText::TraditionalChinese) + 1);
    const Row &row = rows[static_cast<int>(text)];
    return row[languageIndex >= 0 && languageIndex < 3 ? size_t(languageIndex) : 0];
}
