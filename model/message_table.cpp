#include "message_table.h"

#include "program_version.h"

using namespace Qt::StringLiterals;

MessageTable::MessageTable()
    : m_rows{
          {u"VANTREL Technology Corp.   "_s + MakersWebAddress,
           u"VANTREL股份有限公司   "_s + MakersWebAddress,
           u"VANTREL股份有限公司   "_s + MakersWebAddress},
          {u"VANTREL TX4040 Module Config V"_s + QLatin1String(ProgramVersion),
           u"VANTREL TX4040 输入输出模组设定程式 V"_s + QLatin1String(ProgramVersion),
           u"VANTREL TX4040 輸入輸出模組設定程式 V"_s + QLatin1String(ProgramVersion)},
          {u"Start Scan Module!"_s, u"请先扫描模组!"_s, u"請先掃描模組!"_s},
          {u"Cancel Process Module(Space Key)"_s, u"取消连线(空白键)"_s, u"取消連線(空白鍵)"_s},
          {u"ID"_s, u"编号"_s, u"編號"_s},
          {u"BaudRate"_s, u"通讯速度"_s, u"通訊速度"_s},
          {u"Set Module Baud Rate (Reset)"_s, u"设定通讯速度(重置)"_s, u"設定通訊速度(重置)"_s},
          {u"Process Module"_s, u"模组连线"_s, u"模組連線"_s},
          {u"Factory Default"_s, u"出厂预设"_s, u"出廠預設"_s},
          {u"Quick Setting"_s, u"快速设定"_s, u"快速設定"_s},
          {u"Default"_s, u"预设"_s, u"預設"_s},
          {u"Other"_s, u"其他"_s, u"其他"_s},
          {u"Exit"_s, u"结束"_s, u"結束"_s},
          {u"Open COM"_s, u"开启串口"_s, u"開啟串口"_s},
          {u"Error"_s, u"错误"_s, u"錯誤"_s},
          {u"Scan Module"_s, u"扫描模组"_s, u"掃描模組"_s},
          {u"S/N"_s, u"序号"_s, u"序號"_s},
          {u"VER"_s, u"版本"_s, u"版本"_s},
          {u"Scan COM"_s, u"扫描串口"_s, u"掃描串口"_s},
          {u"Get Module Info Ok. (COM"_s, u"读取模组资讯完成. (串口"_s,
           u"讀取模組資訊完成. (串口"_s},
          {u"Get Module Info Error. (COM"_s, u"读取模组资讯错误. (串口"_s,
           u"讀取模組資訊錯誤. (串口"_s},
          {u"Module Not Find"_s, u"模组没有连线"_s, u"模組沒有連線"_s},
          {u"Set Module ID"_s, u"设定模组编号"_s, u"設定模組編號"_s},
          {u"Set Module ID Ok"_s, u"设定模组编号完成"_s, u"設定模組編號完成"_s},
          {u"Set Module ID Error"_s, u"设定模组编号错误"_s, u"設定模組編號錯誤"_s},
          {u"Set Module BaudRate"_s, u"设定模组通讯速度"_s, u"設定模組通訊速度"_s},
          {u"Set Module BaudRate Ok"_s, u"设定模组通讯速度完成"_s, u"設定模組通訊速度完成"_s},
          {u"Set Module BaudRate Error"_s, u"设定模组通讯速度错误"_s, u"設定模組通訊速度錯誤"_s},
          {u"Set Module Mode"_s, u"设定模组模式"_s, u"設定模組模式"_s},
          {u"Set Module Mode Ok"_s, u"设定模组模式完成"_s, u"設定模組模式完成"_s},
          {u"Set Module Mode Error"_s, u"设定模组模式错误"_s, u"設定模組模式錯誤"_s},
          {u"Set Factory Default"_s, u"设定出厂预设值"_s, u"設定出廠預設值"_s},
          {u"Set Factory Default Ok"_s, u"设定出厂预设值完成"_s, u"設定出廠預設值完成"_s},
          {u"Set Factory Default Error"_s, u"设定出厂预设值错误"_s, u"設定出廠預設值錯誤"_s},
          {u"Set Normal Mode"_s, u"设定一般模式"_s, u"設定一般模式"_s},
          {u"Set Normal Mode Ok"_s, u"设定一般模式完成"_s, u"設定一般模式完成"_s},
          {u"Set Normal Mode Error"_s, u"设定一般模式错误"_s, u"設定一般模式錯誤"_s},
          {u"Normal Mode"_s, u"一般模式"_s, u"一般模式"_s},
          {u"Set Baudrate 115200"_s, u"设定快速模式"_s, u"設定快速模式"_s},
          {u"Set Baudrate 115200 Ok"_s, u"设定快速模式完成"_s, u"設定快速模式完成"_s},
          {u"Set Baudrate 115200 Error"_s, u"设定快速模式错误"_s, u"設定快速模式錯誤"_s},
      }
{}

QString MessageTable::text(int row, int languageIndex) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    if (languageIndex < 0 || languageIndex >= LanguageCount)
        languageIndex = 0;
    return m_rows.at(row)[languageIndex];
}
