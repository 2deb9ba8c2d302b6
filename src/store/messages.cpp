// The two catalogue tables and the message box behaviour built on them. The English texts keep
// their long-standing wording, misspellings included: the command line prints them and scripts
// match on them.
#include "store/messages.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include "platform/environment.h"
#include "platform/paths.h"
#include "store/files.h"

namespace kbcfg::store {

namespace {

// Position n holds text n.
constexpr std::string_view kEnglish[kMessageCount] = {
    "Please confirm the path of config file!",                                    // 0
    "Please choose config file firstly!",                                         // 1
    "Open config file failed!",                                                   // 2
    "The config file is error!",                                                  // 3
    "Convert config file from low version failed!",                               // 4
    "IP address cannot be blank!",                                                // 5
    "IP address cannot have any blank field!",                                    // 6
    "Start IP address cannot have any blank field!",                              // 7
    "End IP address cannot have any blank field!",                                // 8
    "Start IP and End IP share the same first three fields!",                     // 9
    "End IP should be larger than Start IP!",                                     // 10
    "Username cannot be blank!",                                                  // 11
    "Username cannot be more than 16 characters!",                                // 12
    "Username can only be number,alphabet,underline!",                            // 13
    "Error user!",                                                                // 14
    "Password can only be number,alphabet,underline!",                            // 15
    "Illegal input of password!",                                                 // 16
    "Password cannot be more than 16 characters!",                                // 17
    "New password differ from confirm password!",                                 // 18
    "Modify password successfully!",                                              // 19
    "Error password!",                                                            // 20
    "The device is already in the list!",                                         // 21
    "The list of devices is already full!",                                       // 22
    "Add device successfully!",                                                   // 23
    "Add devices successfully!",                                                  // 24
    "Modify device successfully!",                                                // 25
    "Please choose at least one device to delete!",                               // 26
    "Confirm to delete?",                                                         // 27
    "Please just choose one device to modify a time!",                            // 28
    "Please choose a device to modify!",                                          // 29
    "Port cannot be blank!",                                                      // 30
    "Legal port ranges from 2000 to 65535!",                                      // 31
    "Memory's allocation is error!",                                              // 32
    "The program is already running!",                                            // 33
    "Encrypt failed!",                                                            // 34
    "Please just choose one user to modify a time!",                              // 35
    "Please choose a user to modify!",                                            // 36
    "The user is already exist!",                                                 // 37
    "The list of user is already full!",                                          // 38
    "Add user successfully!",                                                     // 39
    "Confirm to delete?",                                                         // 40
    "Please choose at least one user to delete!",                                 // 41
    "A config file is already exist in backup folder,cover?",                     // 42
    "The config file is not backed up!",                                          // 43
    "Open update file failed!",                                                   // 44
    "The update file sended to Keyboard failed!",                                 // 45
    "The keyboard donot have enough memory for updating!",                        // 46
    "The language of update file mismatch with the Keyboard!",                    // 47
    "Update data to Flash failed!",                                               // 48
    "Update failed,please check the update file!",                                // 49
    "Please choose a update file firstly!",                                       // 50
    "The update file is error!",                                                  // 51
    "Update failed!",                                                             // 52
    "Recive data from Keyboard failed,the tool can not get updating status!",     // 53
    "Start vorp failed!",                                                         // 54
    "Steam media port ranges from 1 to 65535!",                                   // 55
    "Bind stream media successfully!",                                            // 56
    "Bind stream media successfully!",                                            // 57
    "Remove stream media successfully!",                                          // 58
    "Remove stream media successfully!",                                          // 59
    "Please input a username firstly!",                                           // 60
    "The user inputed is not exist!",                                             // 61
    "Please choose a channel to modify!",                                         // 62
    "The new index of channel ranges from 1 to 99999999!",                        // 63
    "The index is already exist!",                                                // 64
    "Please choose a channel to start modifing!",                                 // 65
    "Some channels is not modified because of repeating of indexs!",              // 66
    "Please choose at least one channel to delete!",                              // 67
    "Create file to save channel information failed!",                            // 68
    "The password to login device is error!",                                     // 69
    "Login device failed because of bad network!",                                // 70
    "The list of user's device is already full!",                                 // 71
    "Login",                                                                      // 72
    "Menu",                                                                       // 73
    "Modes",                                                                      // 74
    "Device Index",                                                               // 75
    "IP",                                                                         // 76
    "Port",                                                                       // 77
    "Username",                                                                   // 78
    "Channel Index",                                                              // 79
    "Channel No.",                                                                // 80
    "Channel Num",                                                                // 81
    "User Index",                                                                 // 82
    "Username",                                                                   // 83
    "Start IP:",                                                                  // 84
    "Device Type",                                                                // 85
    "Device Series",                                                              // 86
    "Sub Mask",                                                                   // 87
    "MAC",                                                                        // 88
    "Channel",                                                                    // 89
    "Soft Version",                                                               // 90
    "DSP Version",                                                                // 91
    "Start Time",                                                                 // 92
    "Please choose a device to add!",                                             // 93
    "Channel information saved successfully!",                                    // 94
    "Please choose a user firstly!",                                              // 95
    "Please choose a device firstly",                                             // 96
    "No device choosed support stream media!",                                    // 97
    "OK",                                                                         // 98
    "Cancel",                                                                     // 99
    "About varnel",                                                               // 100
    "Add Device",                                                                 // 101
    "Type:",                                                                      // 102
    "End IP:",                                                                    // 103
    "Port:",                                                                      // 104
    "Username:",                                                                  // 105
    "Password:",                                                                  // 106
    "Add",                                                                        // 107
    "Single Device",                                                              // 108
    "Batch Devices",                                                              // 109
    "Config file:",                                                               // 110
    "Keyboard IP:",                                                               // 111
    "Keyboard Username:",                                                         // 112
    "Keyboard Password:",                                                         // 113
    "Import Config File",                                                         // 114
    "Remote Config File",                                                         // 115
    "Export && login",                                                            // 116
    "Export",                                                                     // 117
    "Cur-user:",                                                                  // 118
    "Normal Add",                                                                 // 119
    "VORP Add",                                                                   // 120
    "Modify Device",                                                              // 121
    "Delete Device",                                                              // 122
    "Add User",                                                                   // 123
    "Delete User",                                                                // 124
    "Modify Password",                                                            // 125
    "Tip:You can click the user to add devices!",                                 // 126
    "Orvanta",                                                                    // 127
    "Local Config File",                                                          // 128
    "Remote Config File",                                                         // 129
    "Update Keyboard",                                                            // 130
    "Modify Device",                                                              // 131
    "Modify",                                                                     // 132
    "Modify Password",                                                            // 133
    "New Password:",                                                              // 134
    "Confirm Password:",                                                          // 135
    "Seach online devices...",                                                    // 136
    "Device Series",                                                              // 137
    "Soft Version",                                                               // 138
    "Sub Mask",                                                                   // 139
    "MAC",                                                                        // 140
    "Stream Media Setting",                                                       // 141
    "Stream Media Start:",                                                        // 142
    "Stream Media IP:",                                                           // 143
    "Stream Media Port:",                                                         // 144
    "Stream Media Potocol:",                                                      // 145
    "Tips",                                                                       // 146
    "Tips",                                                                       // 147
    "Success:",                                                                   // 148
    "Error Connect:",                                                             // 149
    "Error Password:",                                                            // 150
    "Update Keyboard",                                                            // 151
    "Update File:",                                                               // 152
    "Update Status:",                                                             // 153
    "Update",                                                                     // 154
    "Notice:Please not shut down the Keyboard while updating!",                   // 155
    "Add User",                                                                   // 156
    "Channel Type",                                                               // 157
    "Input Channel",                                                              // 158
    "Output Channel",                                                             // 159
    "Single",                                                                     // 160
    "Batch",                                                                      // 161
    "Channel Modify",                                                             // 162
    "Channel Delete",                                                             // 163
    "Save Channel information",                                                   // 164
    "Save info to a text file",                                                   // 165
    "User's Device Management",                                                   // 166
    "Stream",                                                                     // 167
    "Confirm Password:",                                                          // 168
    "New Index:",                                                                 // 169
    "<<Delete",                                                                   // 170
    "Add>>",                                                                      // 171
    "IP:",                                                                        // 172
    "Port:",                                                                      // 173
    "Single IP",                                                                  // 174
    "Batch IP",                                                                   // 175
    "TCP Protocol",                                                               // 176
    "UDP Protocol",                                                               // 177
    "Import config file successfully!",                                           // 178
    "Import config file failed!",                                                 // 179
    "Export config file successfully!",                                           // 180
    "Export config file failed!",                                                 // 181
    "Update Keyboard successfully!",                                              // 182
    "Functions Reserved:",                                                        // 183
    "Language:",                                                                  // 184
    "Chinese",                                                                    // 185
    "Config file backuped as kbCfg.bk,the length of file path is overflowed!",    // 186
    "devices had been all added!",                                                // 187
    "Devices have been added successfully except some repeat!",                   // 188
    "some devices are not added because of the device list has been full!",       // 189
    "Config file backuped as kb.bk,the length of file path is overflowed!",       // 190
    "Config file path:",                                                          // 191
    "Please set a path to save config file!",                                     // 192
    "Import",                                                                     // 193
    "Orvanta,build20130426",                                                      // 194
    "Update Mode:",                                                               // 195
    "Firmware Update",                                                            // 196
    "Panel Update",                                                               // 197
    "Start erase bootloader...",                                                  // 198
    "Start erase bootloader......",                                               // 199
    "Panel prepare to recive update data...",                                     // 200
    "Panel prepare to recive update data......",                                  // 201
    "Panel is reciving update data...",                                           // 202
    "Panel is reciving update data......",                                        // 203
    "Panel is updating,please not shut up...",                                    // 204
    "Panel is updating,please not shut up......",                                 // 205
    "panel has updated successfully,auto rebooting...",                           // 206
    "panel has updated failed!",                                                  // 207
    "Login keyboard failed!",                                                     // 208
    "Panel update file is illegal(1-100K)!",                                      // 209
    "Filepath'length should be less than 128 and filename'length less than 32!",  // 210
    "Filename'length should be less than 32!",                                    // 211
    "Wall/Scene",                                                                 // 212
};

// Position n holds text n.
constexpr std::string_view kChinese[kMessageCount] = {
    "请确认配置文件的路径！",                            // 0
    "请先选择配置文件！",                                // 1
    "打开配置文件失败！",                                // 2
    "配置文件错误！",                                    // 3
    "低版本配置文件转换失败！",                          // 4
    "IP地址不能为空！",                                  // 5
    "IP地址的任何一段都不能为空！",                      // 6
    "起始IP地址的任何一段都不能为空！",                  // 7
    "结束IP地址的任何一段都不能为空！",                  // 8
    "起始IP与结束IP的前三段必须相同！",                  // 9
    "结束IP应大于起始IP！",                              // 10
    "用户名不能为空！",                                  // 11
    "用户名不能超过16个字符！",                          // 12
    "用户名只能由数字、字母、下划线组成！",              // 13
    "用户错误！",                                        // 14
    "密码只能由数字、字母、下划线组成！",                // 15
    "密码输入非法！",                                    // 16
    "密码不能超过16个字符！",                            // 17
    "新密码与确认密码不一致！",                          // 18
    "修改密码成功！",                                    // 19
    "密码错误！",                                        // 20
    "该设备已在列表中！",                                // 21
    "设备列表已满！",                                    // 22
    "添加设备成功！",                                    // 23
    "批量添加设备成功！",                                // 24
    "修改设备成功！",                                    // 25
    "请至少选择一个要删除的设备！",                      // 26
    "确定删除所选设备？",                                // 27
    "一次只能选择一个设备进行修改！",                    // 28
    "请选择要修改的设备！",                              // 29
    "端口不能为空！",                                    // 30
    "合法端口范围为2000到65535！",                       // 31
    "内存分配错误！",                                    // 32
    "程序已经在运行！",                                  // 33
    "加密失败！",                                        // 34
    "一次只能选择一个用户进行修改！",                    // 35
    "请选择要修改的用户！",                              // 36
    "该用户已存在！",                                    // 37
    "用户列表已满！",                                    // 38
    "添加用户成功！",                                    // 39
    "确定删除所选用户？",                                // 40
    "请至少选择一个要删除的用户！",                      // 41
    "备份文件夹中已存在配置文件，是否覆盖？",            // 42
    "配置文件未备份！",                                  // 43
    "打开升级文件失败！",                                // 44
    "升级文件发送失败，请检查网络！",                    // 45
    "键盘没有足够的内存用于升级！",                      // 46
    "升级文件的语言与键盘不匹配！",                      // 47
    "升级数据写入Flash失败！",                           // 48
    "升级失败，请检查升级文件！",                        // 49
    "请先选择升级文件！",                                // 50
    "升级文件错误！",                                    // 51
    "升级失败！",                                        // 52
    "从键盘接收数据失败，无法获取升级状态！",            // 53
    "启动VORP失败！",                                    // 54
    "流媒体端口范围为1到65535！",                        // 55
    "流媒体绑定成功！",                                  // 56
    "流媒体批量绑定成功!",                               // 57
    "流媒体解除绑定成功！",                              // 58
    "流媒体批量解除绑定成功!",                           // 59
    "请先输入用户名！",                                  // 60
    "输入的用户不存在！",                                // 61
    "请选择要修改的通道！",                              // 62
    "通道的新索引范围为1到99999999！",                   // 63
    "该索引已存在！",                                    // 64
    "请选择开始修改的通道！",                            // 65
    "部分通道因索引重复未被修改！",                      // 66
    "请至少选择一个要删除的通道！",                      // 67
    "创建保存通道信息的文件失败！",                      // 68
    "登录设备的密码错误！",                              // 69
    "由于网络原因或设备忙或端口错误, 注册失败!",         // 70
    "用户的设备列表已满！",                              // 71
    "登录",                                              // 72
    "菜单",                                              // 73
    "模式",                                              // 74
    "设备序号",                                          // 75
    "IP",                                                // 76
    "端口",                                              // 77
    "用户名",                                            // 78
    "通道索引",                                          // 79
    "通道号",                                            // 80
    "通道数",                                            // 81
    "用户序号",                                          // 82
    "用户名",                                            // 83
    "起始IP：",                                          // 84
    "设备类型",                                          // 85
    "设备系列",                                          // 86
    "子网掩码",                                          // 87
    "MAC",                                               // 88
    "通道",                                              // 89
    "软件版本",                                          // 90
    "DSP版本",                                           // 91
    "启动时间",                                          // 92
    "请选择要添加的设备！",                              // 93
    "通道信息保存成功！",                                // 94
    "请先选择用户！",                                    // 95
    "请先选择设备",                                      // 96
    "所选设备不支持流媒体！",                            // 97
    "确定",                                              // 98
    "取消",                                              // 99
    "关于varnel",                                        // 100
    "添加设备",                                          // 101
    "类型：",                                            // 102
    "结束IP：",                                          // 103
    "端口：",                                            // 104
    "用户名：",                                          // 105
    "密码：",                                            // 106
    "添加",                                              // 107
    "单个设备",                                          // 108
    "批量设备",                                          // 109
    "配置文件：",                                        // 110
    "键盘IP：",                                          // 111
    "键盘用户名：",                                      // 112
    "键盘密码：",                                        // 113
    "导入配置文件",                                      // 114
    "远程配置文件",                                      // 115
    "导出&&登录",                                        // 116
    "导出",                                              // 117
    "当前用户：",                                        // 118
    "普通添加",                                          // 119
    "VORP添加",                                          // 120
    "修改设备",                                          // 121
    "删除设备",                                          // 122
    "添加用户",                                          // 123
    "删除用户",                                          // 124
    "修改密码",                                          // 125
    "提示：点击用户可为其添加设备！",                    // 126
    "Orvanta",                                           // 127
    "本地配置文件",                                      // 128
    "远程配置文件",                                      // 129
    "升级键盘",                                          // 130
    "修改设备",                                          // 131
    "修改",                                              // 132
    "修改密码",                                          // 133
    "新密码：",                                          // 134
    "确认密码：",                                        // 135
    "正在搜索在线设备...",                               // 136
    "设备系列",                                          // 137
    "软件版本",                                          // 138
    "子网掩码",                                          // 139
    "MAC",                                               // 140
    "流媒体设置",                                        // 141
    "启用流媒体：",                                      // 142
    "流媒体IP：",                                        // 143
    "流媒体端口：",                                      // 144
    "流媒体协议：",                                      // 145
    "提示",                                              // 146
    "提示",                                              // 147
    "成功：",                                            // 148
    "连接错误：",                                        // 149
    "密码错误：",                                        // 150
    "升级键盘",                                          // 151
    "升级文件：",                                        // 152
    "升级状态：",                                        // 153
    "升级",                                              // 154
    "注意：升级过程中请勿关闭键盘！",                    // 155
    "添加用户",                                          // 156
    "通道类型",                                          // 157
    "输入通道",                                          // 158
    "输出通道",                                          // 159
    "单个",                                              // 160
    "批量",                                              // 161
    "通道修改",                                          // 162
    "通道删除",                                          // 163
    "保存通道信息",                                      // 164
    "将信息保存到文本文件",                              // 165
    "用户设备管理",                                      // 166
    "流媒体",                                            // 167
    "确认密码：",                                        // 168
    "新索引：",                                          // 169
    "<<删除",                                            // 170
    "添加>>",                                            // 171
    "IP：",                                              // 172
    "端口：",                                            // 173
    "单个IP",                                            // 174
    "批量IP",                                            // 175
    "TCP协议",                                           // 176
    "UDP协议",                                           // 177
    "导入配置文件成功！",                                // 178
    "导入配置文件失败！",                                // 179
    "导出配置文件成功！",                                // 180
    "导出配置文件失败！",                                // 181
    "升级键盘成功！",                                    // 182
    "保留功能：",                                        // 183
    "语言：",                                            // 184
    "中文",                                              // 185
    "文件路径长度超出限制，配置文件已备份为kbCfg.bk！",  // 186
    "设备均已添加过！",                                  // 187
    "设备添加成功，部分重复设备除外！",                  // 188
    "由于设备列表已满，部分设备未添加！",                // 189
    "文件路径长度超出限制，配置文件已备份为kb.bk！",     // 190
    "配置文件路径：",                                    // 191
    "请设置保存配置文件的路径！",                        // 192
    "导入",                                              // 193
    "Orvanta,build20130426",                             // 194
    "升级模式：",                                        // 195
    "固件升级",                                          // 196
    "面板升级",                                          // 197
    "开始擦除引导程序...",                               // 198
    "开始擦除引导程序......",                            // 199
    "面板准备接收升级数据...",                           // 200
    "面板准备接收升级数据......",                        // 201
    "面板正在接收升级数据...",                           // 202
    "面板正在接收升级数据......",                        // 203
    "面板正在升级，请勿关机...",                         // 204
    "面板正在升级，请勿关机......",                      // 205
    "面板升级成功，正在自动重启...",                     // 206
    "面板升级失败！",                                    // 207
    "登录键盘失败！",                                    // 208
    "面板升级文件非法(1-100K)！",                        // 209
    "文件路径长度应小于128，文件名长度应小于32！",       // 210
    "文件名长度应小于32！",                              // 211
    "电视墙/场景",                                       // 212
};

}  // namespace

MessageCatalogue::MessageCatalogue(Language language, const std::string_view* texts)
    : language_(language) {
    for (int n = 0; n < kMessageCount; ++n) texts_[n] = std::string(texts[n]);
}

const MessageCatalogue& MessageCatalogue::english() {
    static const MessageCatalogue catalogue(Language::English, kEnglish);
    return catalogue;
}

const MessageCatalogue& MessageCatalogue::chinese() {
    static const MessageCatalogue catalogue(Language::Chinese, kChinese);
    return catalogue;
}

namespace {
// Null until the first switch: English.
std::atomic<const MessageCatalogue*> g_currentTable{nullptr};
}  // namespace

const MessageCatalogue& MessageCatalogue::current() {
    const MessageCatalogue* table = g_currentTable.load(std::memory_order_acquire);
    return table ? *table : english();
}

void MessageCatalogue::setCurrent(Language language) {
    g_currentTable.store(language == Language::Chinese ? &chinese() : &english(),
                         std::memory_order_release);
}

const std::string& MessageCatalogue::text(Msg id) const {
    // A number made by a cast from outside the table gets an empty text rather than a crash.
    static const std::string kNone;
    const int n = messageNumber(id);
    if (n < 0 || n >= kMessageCount) return kNone;
    return texts_[n];
}

const std::string& getMessage(Msg id) {
    return MessageCatalogue::current().text(id);
}

std::optional<Language> languageNamed(std::string_view code) {
    if (code == "en") return Language::English;
    if (code == "zh") return Language::Chinese;
    return std::nullopt;
}

std::string_view languageCode(Language language) {
    return language == Language::Chinese ? "zh" : "en";
}

Language languageForLocale(std::string_view locale) {
    // The language part ends at the region, code set or modifier: "zh_CN.UTF-8@x", "zh-TW".
    const std::string_view lang = locale.substr(0, locale.find_first_of("_.@-"));
    const bool chinese = lang.size() == 2 && (lang[0] | 0x20) == 'z' && (lang[1] | 0x20) == 'h';
    return chinese ? Language::Chinese : Language::English;
}

Environment processEnvironment() {
    // The values are kept for as long as the function lives, so the pointers it hands out stay
    // valid; each variable is read once.
    using Values = std::map<std::string, std::optional<std::string>, std::less<>>;
    return [values = std::make_shared<Values>()](const char* name) -> const char* {
        auto it = values->find(std::string_view(name));
        if (it == values->end()) it = values->emplace(name, platform::environment(name)).first;
        return it->second ? it->second->c_str() : nullptr;
    };
}

Language localeLanguage(const Environment& env) {
    // An empty variable counts as unset, as for the C library.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = env(name);
        if (value && *value) return languageForLocale(value);
    }
    return Language::English;
}

Language commandLineLanguage(const Environment& env) {
    if (const char* chosen = env("KBCFG_LANG"))
        if (const auto language = languageNamed(chosen)) return *language;
    return localeLanguage(env);
}

void showMessage(Host& host, Msg id) {
    host.showMessage(messageNumber(id), getMessage(id));
}

void showMessage(Host& host, Msg id, const std::string& detail) {
    host.showMessage(messageNumber(id),
                     detail.empty() ? getMessage(id) : getMessage(id) + "\n" + detail);
}

void askMessage(Host& host, SessionState& session, Msg id, const std::string& argument, int mode) {
    if (mode != kTipBackupAtLogin && mode != kTipBackupAtExport && mode != kTipConfirm) {
        showMessage(host, id);
        return;
    }
    const Answer answer =
        host.askOkCancelThen(messageNumber(id), getMessage(id), [&](Answer given) {
            // The notice comes up over the question; both close once it has been read.
            if (mode != kTipConfirm && given == Answer::Cancel) showMessage(host, Msg::NotBackedUp);
        });
    if (answer == Answer::Closed) return;
    if (mode == kTipConfirm) {
        session.confirmAnswer = answer == Answer::Ok ? 1 : 0;
        return;
    }
    if (answer == Answer::Cancel) return;
    const std::filesystem::path folder = backupFolder(session);
    // A failed backup is not reported: the configuration file itself stays untouched.
    const std::filesystem::path fileName = platform::fromUtf8(argument);
    if (!ensureBackupFolder(folder, session.configFolder / fileName)) return;
    copyFileOverwrite(session.configFolder / fileName, folder / fileName);
}

}  // namespace kbcfg::store
