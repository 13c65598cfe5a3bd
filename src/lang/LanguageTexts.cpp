// The texts of the language table. Each row holds one text in the three columns English,
// Simplified Chinese and Traditional Chinese, all UTF-8. Rows are addressed by number from the
// rest of the program, so a row never moves; an unused row stays in place with empty texts.
// The Chinese columns keep every printf conversion, line break, "&&" and leading or trailing
// space of the English text, because callers format and lay out the text the same way whatever
// the column.
#include "lang/LanguageTexts.h"

#include <array>
#include <string_view>

namespace qv::lang {

namespace {

using Row = std::array<const char*, kLanguageColumnCount>;

constexpr std::array<Row, kLanguageRowCount> kTexts = {{
    /* 0 */ {{"Quorvel K", "Quorvel K", "Quorvel K"}},
    /* 1 */ {{"Overclock", "超频", "超頻"}},
    /* 2 */
    {{
        "Initiate hardware failed!\nPlease confirm NVidia driver has been installed correctly!",
        "硬件初始化失败！\n请确认NVidia驱动程序已正确安装！",
        "硬體初始化失敗！\n請確認NVidia驅動程式已正確安裝！",
    }},
    /* 3 */ {{"Add font failed!", "添加字体失败！", "新增字型失敗！"}},
    /* 4 */ {{"Get initiate information failed!", "获取初始化信息失败！", "取得初始化資訊失敗！"}},
    /* 5 */
    {{
        "GPU %d temperature is too high!!!\n",
        "GPU %d 温度过高！！！\n",
        "GPU %d 溫度過高！！！\n",
    }},
    /* 6 */
    {{
        "Hardware settings apply completed!",
        "硬件设置已应用完成！",
        "硬體設定已套用完成！",
    }},
    /* 7 */ {{"Overclocking apply failed!", "超频设置应用失败！", "超頻設定套用失敗！"}},
    /* 8 */ {{"Link", "联动", "連動"}},
    /* 9 */
    {{
        "Link GPU clock and shader clock",
        "联动GPU频率与着色器频率",
        "連動GPU時脈與著色器時脈",
    }},
    /* 10 */ {{"Linked", "已联动", "已連動"}},
    /* 11 */ {{"Unlinked", "未联动", "未連動"}},
    /* 12 */ {{"Clock work mode", "频率工作模式", "時脈工作模式"}},
    /* 13 */ {{"About", "关于", "關於"}},
    /* 14 */ {{"Apply", "应用", "套用"}},
    /* 15 */ {{"Test", "测试", "測試"}},
    /* 16 */ {{"Min", "最小", "最小"}},
    /* 17 */ {{"Max", "最大", "最大"}},
    /* 18 */ {{"GPU Clock", "GPU频率", "GPU時脈"}},
    /* 19 */ {{"Memory Clock", "显存频率", "記憶體時脈"}},
    /* 20 */ {{"Shader Clock", "着色器频率", "著色器時脈"}},
    /* 21 */ {{"Temperature", "温度", "溫度"}},
    /* 22 */ {{"Fan Speed", "风扇转速", "風扇轉速"}},
    /* 23 */ {{"GPU Voltage", "GPU电压", "GPU電壓"}},
    /* 24 */ {{"Power", "功耗", "功耗"}},
    /* 25 */ {{"Memory Voltage", "显存电压", "記憶體電壓"}},
    /* 26 */ {{"12v Voltage", "12v电压", "12v電壓"}},
    /* 27 */ {{" 3.3v Voltage", " 3.3v电压", " 3.3v電壓"}},
    /* 28 */ {{"Mode", "模式", "模式"}},
    /* 29 */ {{"Auto", "自动", "自動"}},
    /* 30 */ {{"Manual", "手动", "手動"}},
    /* 31 */ {{"Max", "最大", "最大"}},
    /* 32 */ {{"Normal", "标准", "標準"}},
    /* 33 */ {{"Silent", "静音", "靜音"}},
    /* 34 */ {{"2D", "2D", "2D"}},
    /* 35 */ {{"3D", "3D", "3D"}},
    /* 36 */ {{"3D Low", "3D低负载", "3D低負載"}},
    /* 37 */ {{"3D PERF", "3D性能", "3D效能"}},
    /* 38 */ {{"Fan Speed Setting: ", "风扇转速设置： ", "風扇轉速設定： "}},
    /* 39 */ {{"Over Clock Setting: (MHz)", "超频设置：(MHz)", "超頻設定：(MHz)"}},
    /* 40 */ {{"Temp. Setting: (c)", "温度设置：(°C)", "溫度設定：(°C)"}},
    /* 41 */ {{"Fan Control Mode", "风扇控制模式", "風扇控制模式"}},
    /* 42 */
    {{
        "Fan speed will be adjusted by the temperature automatically.",
        "风扇转速将根据温度自动调节。",
        "風扇轉速將依溫度自動調整。",
    }},
    /* 43 */ {{"GPU", "GPU", "GPU"}},
    /* 44 */ {{"Shader", "着色器", "著色器"}},
    /* 45 */ {{"Mem.", "显存", "記憶體"}},
    /* 46 */ {{"Alarm Temperature", "报警温度", "警示溫度"}},
    /* 47 */ {{"Max:", "最大：", "最大："}},
    /* 48 */ {{"English", "英文", "英文"}},
    /* 49 */ {{"Chinese(Simplified)", "简体中文", "簡體中文"}},
    /* 50 */ {{"Chinese(Traditional)", "繁体中文", "繁體中文"}},
    /* 51 */ {{"OK", "确定", "確定"}},
    /* 52 */ {{"Cancel", "取消", "取消"}},
    /* 53 */
    {{
        "Sorry! Quorvel 2.0.1.6HD does not support current OS!",
        "抱歉！Quorvel 2.0.1.6HD 不支持当前操作系统！",
        "抱歉！Quorvel 2.0.1.6HD 不支援目前的作業系統！",
    }},
    /* 54 */ {{"Initiate application failed!", "应用程序初始化失败！", "應用程式初始化失敗！"}},
    /* 55 */ {{"Initiate instance failed!", "实例初始化失败！", "執行個體初始化失敗！"}},
    /* 56 */ {{"SLI is disabled!", "SLI已禁用！", "SLI已停用！"}},
    /* 57 */ {{"Failed to get the web information!", "获取网络信息失败！", "取得網路資訊失敗！"}},
    /* 58 */ {{"In getting the web information...", "正在获取网络信息...", "正在取得網路資訊..."}},
    /* 59 */
    {{
        "Applying hardware settings canceled!",
        "已取消应用硬件设置！",
        "已取消套用硬體設定！",
    }},
    /* 60 */
    {{
        "The changes may cause system unsteadily or hardware failure.\n"
        "Operator will take the consequences of the changes.\nDo you continue?",
        "这些更改可能导致系统不稳定或硬件故障。\n操作者须自行承担更改带来的后果。\n是否继续？",
        "這些變更可能導致系統不穩定或硬體故障。\n操作者須自行承擔變更帶來的後果。\n是否繼續？",
    }},
    /* 61 */
    {{
        "Quorvel has been started by other user.",
        "Quorvel 已由其他用户启动。",
        "Quorvel 已由其他使用者啟動。",
    }},
    /* 62 */ {{"Reset", "重置", "重設"}},
    /* 63 */
    {{
        "Extension BIOS file name must be .ROM or .NVR!",
        "BIOS文件扩展名必须为 .ROM 或 .NVR！",
        "BIOS檔案副檔名必須為 .ROM 或 .NVR！",
    }},
    /* 64 */
    {{
        "BIOS of GPU %d Updated failed!",
        "GPU %d 的BIOS更新失败！",
        "GPU %d 的BIOS更新失敗！",
    }},
    /* 65 */
    {{
        "BIOS Updated of GPU %d successfully!",
        "GPU %d 的BIOS更新成功！",
        "GPU %d 的BIOS更新成功！",
    }},
    /* 66 */ {{"Update", "更新", "更新"}},
    /* 67 */ {{"Restore", "恢复", "還原"}},
    /* 68 */
    {{
        "During BIOS of GPU %d is updating, please do not close the Quorvel!",
        "GPU %d 的BIOS正在更新，请勿关闭Quorvel！",
        "GPU %d 的BIOS正在更新，請勿關閉Quorvel！",
    }},
    /* 69 */ {{"Main window", "主窗口", "主視窗"}},
    /* 70 */ {{"Quit", "退出", "結束"}},
    /* 71 */ {{"Show at startup", "启动时显示", "啟動時顯示"}},
    /* 72 */ {{"Save hardware settings before quit", "退出前保存硬件设置", "結束前儲存硬體設定"}},
    /* 73 */ {{"Help", "帮助", "說明"}},
    /* 74 */
    {{
        "Are you sure to restore the default hardware settings?",
        "确定要恢复默认硬件设置吗？",
        "確定要還原預設硬體設定嗎？",
    }},
    /* 75 */ {{"Settings", "设置", "設定"}},
    /* 76 */ {{"Initializing, please wait...", "正在初始化，请稍候...", "正在初始化，請稍候..."}},
    /* 77 */
    {{
        "Initialize failed!\nWould you like to run Quorvel at the next reboot?",
        "初始化失败！\n是否在下次重新启动时运行Quorvel？",
        "初始化失敗！\n是否在下次重新開機時執行Quorvel？",
    }},
    /* 78 */ {{"Donot run", "不运行", "不執行"}},
    /* 79 */ {{"Run", "运行", "執行"}},
    /* 80 */ {{"Run and minimize", "运行并最小化", "執行並最小化"}},
    /* 81 */
    {{
        "Run and minimize to system tray",
        "运行并最小化到系统托盘",
        "執行並最小化至系統匣",
    }},
    /* 82 */ {{"Apply hardware settings and quit", "应用硬件设置并退出", "套用硬體設定並結束"}},
    /* 83 */ {{"Restart", "重新启动", "重新啟動"}},
    /* 84 */ {{"About Dialog", "关于对话框", "關於對話方塊"}},
    /* 85 */ {{"Save Hardware Settings", "保存硬件设置", "儲存硬體設定"}},
    /* 86 */ {{"Quorvel BIOS", "Quorvel BIOS", "Quorvel BIOS"}},
    /* 87 */ {{"Driver&&BIOS Update", "驱动程序&&BIOS更新", "驅動程式&&BIOS更新"}},
    /* 88 */ {{"View", "查看", "檢視"}},
    /* 89 */ {{"Tool Bar", "工具栏", "工具列"}},
    /* 90 */ {{"Status Bar", "状态栏", "狀態列"}},
    /* 91 */ {{"Driver Update", "驱动程序更新", "驅動程式更新"}},
    /* 92 */ {{"BIOS Update", "BIOS更新", "BIOS更新"}},
    /* 93 */ {{"News", "新闻", "新聞"}},
    /* 94 */ {{"Please select GPU", "请选择GPU", "請選擇GPU"}},
    /* 95 */
    {{
        "Applying hardware settings  of GPU %d, please do not close the Quorvel!",
        "正在应用GPU %d 的硬件设置，请勿关闭Quorvel！",
        "正在套用GPU %d 的硬體設定，請勿關閉Quorvel！",
    }},
    /* 96 */
    {{
        "Get driver information failed!",
        "获取驱动程序信息失败！",
        "取得驅動程式資訊失敗！",
    }},
    /* 97 */ {{"Get BIOS information failed.", "获取BIOS信息失败。", "取得BIOS資訊失敗。"}},
    /* 98 */ {{"Get news failed!", "获取新闻失败！", "取得新聞失敗！"}},
    /* 99 */ {{"Product Information", "产品信息", "產品資訊"}},
    /* 100 */ {{"GPU ID", "GPU ID", "GPU ID"}},
    /* 101 */ {{"BIOS Version", "BIOS版本", "BIOS版本"}},
    /* 102 */
    {{
        "News has been updated. \nPlease check!",
        "新闻已更新。\n请查看！",
        "新聞已更新。\n請查看！",
    }},
    /* 103 */ {{"Current clock information", "当前频率信息", "目前時脈資訊"}},
    /* 104 */ {{"Work Mode", "工作模式", "工作模式"}},
    /* 105 */ {{"Driver Version", "驱动程序版本", "驅動程式版本"}},
    /* 106 */ {{"Curve Drawing", "曲线绘制", "曲線繪製"}},
    /* 107 */ {{"Enable", "启用", "啟用"}},
    /* 108 */ {{"Sampling period", "采样周期", "取樣週期"}},
    /* 109 */ {{"s", "秒", "秒"}},
    /* 110 */ {{"Display grid", "显示网格", "顯示格線"}},
    /* 111 */
    {{
        "The operation will set your graphic card running out of the range of the manufacturer "
        "setted, and may cause system unsteadily or hardware failure.\n"
        "Operator will take the consequences.\nDo you continue?",
        "此操作将使显卡超出厂商设定的范围运行，可能导致系统不稳定或硬件故障。\n"
        "操作者须自行承担后果。\n是否继续？",
        "此操作將使顯示卡超出廠商設定的範圍運作，可能導致系統不穩定或硬體故障。\n"
        "操作者須自行承擔後果。\n是否繼續？",
    }},
    /* 112 */ {{"Auto Update", "自动更新", "自動更新"}},
    /* 113 */
    {{
        "New version has been downloaded. Quorvel will be auto updated after %ds.",
        "新版本已下载。Quorvel 将在 %d 秒后自动更新。",
        "新版本已下載。Quorvel 將在 %d 秒後自動更新。",
    }},
    /* 114 */ {{"Are you sure to flash '%s'?", "确定要刷写“%s”吗？", "確定要燒錄「%s」嗎？"}},
    /* 115 */ {{"Profile", "配置文件", "設定檔"}},
    /* 116 */ {{"Save", "保存", "儲存"}},
    /* 117 */ {{"Load", "加载", "載入"}},
    /* 118 */
    {{
        "System will shutdown in %d seconds!!!",
        "系统将在 %d 秒后关机！！！",
        "系統將在 %d 秒後關機！！！",
    }},
    /* 119 */ {{"", "", ""}},
    /* 120 */ {{"", "", ""}},
    /* 121 */ {{"", "", ""}},
    /* 122 */ {{"", "", ""}},
    /* 123 */ {{"", "", ""}},
    /* 124 */ {{"Change Password", "修改密码", "變更密碼"}},
    /* 125 */ {{"Original password", "原密码", "原密碼"}},
    /* 126 */ {{"New password", "新密码", "新密碼"}},
    /* 127 */ {{"Confirm password", "确认密码", "確認密碼"}},
    /* 128 */ {{"Input Password", "输入密码", "輸入密碼"}},
    /* 129 */ {{"Please input password:", "请输入密码：", "請輸入密碼："}},
    /* 130 */ {{"Password error!", "密码错误！", "密碼錯誤！"}},
    /* 131 */
    {{
        "New password and confirmed password are different!",
        "新密码与确认密码不一致！",
        "新密碼與確認密碼不一致！",
    }},
    /* 132 */ {{"Current GPU Voltage", "当前GPU电压", "目前GPU電壓"}},
    /* 133 */ {{"Power State", "电源状态", "電源狀態"}},
    /* 134 */ {{"HDMI", "HDMI", "HDMI"}},
    /* 135 */ {{"Front Left", "左前", "左前"}},
    /* 136 */ {{"Front Right", "右前", "右前"}},
    /* 137 */ {{"Side Left", "左侧", "左側"}},
    /* 138 */ {{"Side Right", "右侧", "右側"}},
    /* 139 */ {{"Back Left", "左后", "左後"}},
    /* 140 */ {{"Back Right", "右后", "右後"}},
    /* 141 */ {{"Center", "中置", "中置"}},
    /* 142 */ {{"Subwoofer", "重低音", "重低音"}},
    /* 143 */ {{"Auto Select HDMI Device", "自动选择HDMI设备", "自動選擇HDMI裝置"}},
    /* 144 */ {{"Play", "播放", "播放"}},
    /* 145 */ {{"Sounds and Audio Devices Properties", "声音和音频设备属性", "音效與音訊裝置內容"}},
    /* 146 */ {{"Audio", "音频", "音訊"}},
    /* 147 */ {{"Memory Voltage (V/mv)", "显存电压 (V/mv)", "記憶體電壓 (V/mv)"}},
    /* 148 */ {{"GPU Clock (MHz)", "GPU频率 (MHz)", "GPU時脈 (MHz)"}},
    /* 149 */ {{"Shader Clock (MHz)", "着色器频率 (MHz)", "著色器時脈 (MHz)"}},
    /* 150 */ {{"Memory Clock (MHz)", "显存频率 (MHz)", "記憶體時脈 (MHz)"}},
    /* 151 */ {{"Fan Speed (%)", "风扇转速 (%)", "風扇轉速 (%)"}},
    /* 152 */ {{"Fan Speed (RPM)", "风扇转速 (RPM)", "風扇轉速 (RPM)"}},
    /* 153 */ {{"GPU Voltage (V/mv)", "GPU电压 (V/mv)", "GPU電壓 (V/mv)"}},
    /* 154 */
    {{
        "Set as system default audio device automatically",
        "自动设为系统默认音频设备",
        "自動設為系統預設音訊裝置",
    }},
    /* 155 */
    {{
        "Turn the linkage between Core Clock Frequency and Shader Clock Frequency On or Off.\n"
        "Tips: When linkage is turned On, Core Clock Frequency and Shader Clock Frequency is "
        "adjusted together at a fixed rate. \nWhen linkage is turned Off, Core Clock Frequency "
        "and Shader Clock Frequency can be adjusted independently. This allows greater "
        "overclocking flexibility.",
        "开启或关闭核心频率与着色器频率的联动。\n提示：开启联动时，"
        "核心频率与着色器频率按固定比例一起调节。\n关闭联动时，"
        "核心频率与着色器频率可分别独立调节，超频更加灵活。",
        "開啟或關閉核心時脈與著色器時脈的連動。\n提示：開啟連動時，"
        "核心時脈與著色器時脈依固定比例一起調整。\n關閉連動時，"
        "核心時脈與著色器時脈可各自獨立調整，超頻更具彈性。",
    }},
    /* 156 */
    {{
        "Used to adjust GPU core clock frequency.",
        "用于调节GPU核心频率。",
        "用於調整GPU核心時脈。",
    }},
    /* 157 */
    {{
        "Used to adjust GPU shader clock frequency.",
        "用于调节GPU着色器频率。",
        "用於調整GPU著色器時脈。",
    }},
    /* 158 */
    {{
        "Used to adjust video memory clock frequency.",
        "用于调节显存频率。",
        "用於調整記憶體時脈。",
    }},
    /* 159 */
    {{
        "Fan speed can be chosen between “Auto” or “Manual” mode. \nWhen Auto Mode is chosen, fan "
        "speed will be adjusted automatically based on graphics card’s power consumption. \n"
        "When Manual Mode is chosen, fan speed can be adjusted manually based on user’s "
        "preference.\nThis feature is only available when the graphics card supports “Smart Fan”, "
        "otherwise this option will be blanked.",
        "风扇转速可选择“自动”或“手动”模式。\n选择自动模式时，风扇转速将根据显卡功耗自动调节。\n"
        "选择手动模式时，可按用户喜好手动调节风扇转速。\n此功能仅在显卡支持“智能风扇”时可用，"
        "否则该选项将显示为空白。",
        "風扇轉速可選擇「自動」或「手動」模式。\n選擇自動模式時，風扇轉速將依顯示卡功耗自動調整。"
        "\n選擇手動模式時，可依使用者喜好手動調整風扇轉速。\n"
        "此功能僅在顯示卡支援「智慧風扇」時可用，否則此選項將顯示為空白。",
    }},
    /* 160 */
    {{
        "Used to adjust GPU core voltage.\nThis feature requires hardware support. Graphics cards "
        "that do not support this feature will have the option blanked.",
        "用于调节GPU核心电压。\n此功能需要硬件支持，不支持此功能的显卡该选项将显示为空白。",
        "用於調整GPU核心電壓。\n此功能需要硬體支援，不支援此功能的顯示卡此選項將顯示為空白。",
    }},
    /* 161 */
    {{
        "Used to save current settings or load saved settings.",
        "用于保存当前设置或加载已保存的设置。",
        "用於儲存目前設定或載入已儲存的設定。",
    }},
    /* 162 */
    {{
        "Apply all settings to the graphics card.\nSettings are only effective when the apply "
        "button is pressed.",
        "将所有设置应用到显卡。\n只有按下“应用”按钮后设置才会生效。",
        "將所有設定套用至顯示卡。\n只有按下「套用」按鈕後設定才會生效。",
    }},
    /* 163 */
    {{
        "Restore all settings to system default.",
        "将所有设置恢复为系统默认值。",
        "將所有設定還原為系統預設值。",
    }},
    /* 164 */ {{"Used to flash graphics card BIOS.", "用于刷写显卡BIOS。", "用於燒錄顯示卡BIOS。"}},
    /* 165 */ {{"Vexa.", "Vexa.", "Vexa."}},
    /* 166 */
    {{
        "Used to monitor GPU operating frequency, temperature, fan speed and power consumption. \n"
        "(Note: The number of monitor items varies with graphics card models)",
        "用于监控GPU运行频率、温度、风扇转速和功耗。\n（注：监控项目的数量因显卡型号而异）",
        "用於監控GPU運作時脈、溫度、風扇轉速與功耗。\n（註：監控項目的數量依顯示卡型號而異）",
    }},
    /* 167 */
    {{
        "This feature helps user to test and set multi-channel speakers. \n"
        "(Note: This feature requires graphics card with internal HDMI Audio support, such as "
        "GeForce 210)",
        "此功能帮助用户测试和设置多声道扬声器。\n（注：此功能需要显卡内置HDMI音频支持，例如 "
        "GeForce 210）",
        "此功能協助使用者測試與設定多聲道喇叭。\n（註：此功能需要顯示卡內建HDMI音訊支援，例如 "
        "GeForce 210）",
    }},
    /* 168 */ {{"Graphics card 2D operating frequency.", "显卡2D运行频率。", "顯示卡2D運作時脈。"}},
    /* 169 */ {{"3D low-load.", "3D低负载。", "3D低負載。"}},
    /* 170 */ {{"3D high-load.", "3D高负载。", "3D高負載。"}},
    /* 171 */ {{"Visit Zentrax website.", "访问Zentrax网站。", "造訪Zentrax網站。"}},
    /* 172 */ {{"Shows current GPU temperature.", "显示当前GPU温度。", "顯示目前GPU溫度。"}},
    /* 173 */ {{"Shows current CUDA Cores.", "显示当前CUDA核心数。", "顯示目前CUDA核心數。"}},
    /* 174 */
    {{
        "Quorvel K supports synchronous adjustment of 3 GPUs or changing their settings "
        "independently.",
        "Quorvel K 支持3个GPU同步调节，也可分别独立更改其设置。",
        "Quorvel K 支援3個GPU同步調整，也可各自獨立變更其設定。",
    }},
    /* 175 */ {{"Settings", "设置", "設定"}},
    /* 176 */ {{"Minimize", "最小化", "最小化"}},
    /* 177 */ {{"Exit", "退出", "離開"}},
    /* 178 */ {{"Sound", "声音", "音效"}},
    /* 179 */ {{"Playback", "播放", "播放"}},
    /* 180 */ {{"TEMP.(°C)", "温度(°C)", "溫度(°C)"}},
    /* 181 */ {{"POWER(W)", "功耗(W)", "功耗(W)"}},
    /* 182 */ {{"CUDA Cores", "CUDA核心", "CUDA核心"}},
    /* 183 */ {{"Fan and temperature associated", "风扇与温度关联", "風扇與溫度關聯"}},
    /* 184 */
    {{
        "Adjusting core voltage may result in system instability or even casue permenent damage "
        "to hardware. \nUse it at your own risk. \nDo you wish to continue?",
        "调节核心电压可能导致系统不稳定，甚至对硬件造成永久性损坏。\n使用风险由您自行承担。\n"
        "是否继续？",
        "調整核心電壓可能導致系統不穩定，甚至對硬體造成永久性損壞。\n使用風險由您自行承擔。\n"
        "是否繼續？",
    }},
    /* 185 */ {{"Temp low", "低温", "低溫"}},
    /* 186 */ {{"Temp over", "超温", "超溫"}},
    /* 187 */ {{"FanSpeed", "风扇转速", "風扇轉速"}},
    /* 188 */ {{"FanSpeed", "风扇转速", "風扇轉速"}},
    /* 189 */ {{"About Quorvel K", "关于 Quorvel K", "關於 Quorvel K"}},
    /* 190 */ {{"°C", "°C", "°C"}},
    /* 191 */ {{"Custom mode", "自定义模式", "自訂模式"}},
    /* 192 */ {{"Silent mode", "静音模式", "靜音模式"}},
    /* 193 */ {{"Performance mode", "性能模式", "效能模式"}},
    /* 194 */ {{"Advanced Fan Control", "高级风扇控制", "進階風扇控制"}},
    /* 195 */ {{"IPHONE Control", "IPHONE控制", "IPHONE控制"}},
    /* 196 */ {{"Check for update", "检查更新", "檢查更新"}},
    /* 197 */ {{"Online Update", "在线更新", "線上更新"}},
    /* 198 */ {{"Next", "下一步", "下一步"}},
    /* 199 */ {{"Download", "下载", "下載"}},
    /* 200 */ {{"Welcome to the online update.", "欢迎使用在线更新。", "歡迎使用線上更新。"}},
    /* 201 */
    {{
        "The program can help you update.",
        "本程序可以帮助您进行更新。",
        "本程式可以協助您進行更新。",
    }},
    /* 202 */
    {{
        "Using the internet connection for online update operations.",
        "使用互联网连接进行在线更新操作。",
        "使用網際網路連線進行線上更新作業。",
    }},
    /* 203 */
    {{
        "Click Next to begin check for updates.",
        "单击“下一步”开始检查更新。",
        "按一下「下一步」開始檢查更新。",
    }},
    /* 204 */ {{"Thank you for using online update.", "感谢使用在线更新。", "感謝使用線上更新。"}},
    /* 205 */
    {{
        "There is no latest product updates.",
        "目前没有最新的产品更新。",
        "目前沒有最新的產品更新。",
    }},
    /* 206 */
    {{
        "If you want to learn about the latest product releases\n dynamic, please pay attention:",
        "如果您想了解最新的产品发布\n动态，请关注：",
        "如果您想了解最新的產品發佈\n動態，請關注：",
    }},
    /* 207 */
    {{
        "Hope you'll continue to focus on our product updates.",
        "希望您继续关注我们的产品更新。",
        "希望您繼續關注我們的產品更新。",
    }},
    /* 208 */ {{"Currently have the following update", "当前有以下更新", "目前有下列更新"}},
    /* 209 */ {{"Updates:", "更新内容：", "更新內容："}},
    /* 210 */ {{"Details:", "详细信息：", "詳細資訊："}},
    /* 211 */
    {{
        "Network connection failed. Please check the network",
        "网络连接失败，请检查网络",
        "網路連線失敗，請檢查網路",
    }},
    /* 212 */
    {{
        "Can not update the software. \nMake sure the network connection is normal",
        "无法更新软件。\n请确认网络连接正常",
        "無法更新軟體。\n請確認網路連線正常",
    }},
    /* 213 */ {{"FanSpeed", "风扇转速", "風扇轉速"}},
    /* 214 */
    {{
        "Normal fan speed %d, and now speed is %d,recommended to check.",
        "正常风扇转速为 %d，当前转速为 %d，建议检查。",
        "正常風扇轉速為 %d，目前轉速為 %d，建議檢查。",
    }},
    /* 215 */
    {{
        "Normal fan speed %d, and now speed is %d,Ok.",
        "正常风扇转速为 %d，当前转速为 %d，正常。",
        "正常風扇轉速為 %d，目前轉速為 %d，正常。",
    }},
    /* 216 */
    {{
        "This feature only support 260 after the driver, update the driver version.",
        "此功能仅支持260及以后版本的驱动程序，请更新驱动程序版本。",
        "此功能僅支援260及之後版本的驅動程式，請更新驅動程式版本。",
    }},
    /* 217 */ {{"Current Frequency:  %d", "当前频率：  %d", "目前頻率：  %d"}},
    /* 218 */ {{"Current Channels:  ", "当前声道数：  ", "目前聲道數：  "}},
    /* 219 */ {{"News", "新闻", "新聞"}},
    /* 220 */ {{"Automatic pop-up message", "自动弹出消息", "自動彈出訊息"}},
    /* 221 */ {{"Memory Size", "显存容量", "記憶體容量"}},
    /* 222 */ {{"Bus Width", "位宽", "匯流排寬度"}},
    /* 223 */ {{"Memory Type", "显存类型", "記憶體類型"}},
    /* 224 */ {{"P-State", "P-State", "P-State"}},
    /* 225 */ {{"Current Clock", "当前频率", "目前時脈"}},
    /* 226 */ {{"Gpu Clock", "GPU频率", "GPU時脈"}},
    /* 227 */ {{"Default Clock", "默认频率", "預設時脈"}},
    /* 228 */ {{"Gpu Load", "GPU负载", "GPU負載"}},
    /* 229 */ {{"Usage", "使用率", "使用率"}},
    /* 230 */ {{"MCU", "MCU", "MCU"}},
    /* 231 */ {{"VPU", "VPU", "VPU"}},
    /* 232 */ {{"TDP", "TDP", "TDP"}},
    /* 233 */ {{"TEMP(°C)", "温度(°C)", "溫度(°C)"}},
    /* 234 */ {{"Speed(%)", "转速(%)", "轉速(%)"}},
    /* 235 */ {{"Unlock Min", "解锁最小值", "解鎖最小值"}},
    /* 236 */ {{"Unlock Max", "解锁最大值", "解鎖最大值"}},
    /* 237 */ {{"Associate", "关联", "關聯"}},
    /* 238 */ {{"Fixed speed", "固定转速", "固定轉速"}},
    /* 239 */ {{"Auto", "自动", "自動"}},
    /* 240 */ {{"Custom", "自定义", "自訂"}},
    /* 241 */
    {{
        "Show / Hide overclocking interface",
        "显示 / 隐藏超频界面",
        "顯示 / 隱藏超頻介面",
    }},
    /* 242 */
    {{
        "Advanced fan control has two modes:\n1 smooth type: According to the graphics of the "
        "curve continuity;\n2 zigzag: According to several points of the curve phase jump;",
        "高级风扇控制有两种模式：\n1 平滑型：按曲线连续变化；\n2 阶梯型："
        "按曲线上的几个点分段跳变；",
        "進階風扇控制有兩種模式：\n1 平滑型：依曲線連續變化；\n2 階梯型："
        "依曲線上的幾個點分段跳變；",
    }},
    /* 243 */
    {{
        "Used to adjust Memory voltage.\nThis feature requires hardware support. Graphics cards "
        "that do not support this feature will have the option blanked.",
        "用于调节显存电压。\n此功能需要硬件支持，不支持此功能的显卡该选项将显示为空白。",
        "用於調整記憶體電壓。\n此功能需要硬體支援，不支援此功能的顯示卡此選項將顯示為空白。",
    }},
    /* 244 */ {{"Monitors", "监控", "監控"}},
    /* 245 */ {{"Hide", "隐藏", "隱藏"}},
    /* 246 */ {{"Close", "关闭", "關閉"}},
    /* 247 */ {{"Open Saved File?", "打开已保存的文件？", "開啟已儲存的檔案？"}},
    /* 248 */ {{"GPU Clock Offset (MHz)", "GPU频率偏移 (MHz)", "GPU時脈偏移 (MHz)"}},
    /* 249 */ {{"Memory Clock Offset (MHz)", "显存频率偏移 (MHz)", "記憶體時脈偏移 (MHz)"}},
    /* 250 */ {{"Frame Rate Target (FPS)", "目标帧率 (FPS)", "目標幀率 (FPS)"}},
    /* 251 */
    {{
        "WARNING! Overclocking your graphics card is not working properly may lead to even "
        "hardware damage, please carefully!This button will unlock the BIOS on the GTX680 "
        "graphics card TDP lock, unlock after GTX680 graphics card running the TDP limit is about "
        "130% of the original, please know.\n\nAre you aware of the risks and still want to show "
        "overclocking options?",
        "警告！显卡超频不当可能导致工作异常甚至硬件损坏，请谨慎操作！"
        "此按钮将解除GTX680显卡BIOS中的TDP锁定，解锁后GTX680显卡运行时的TDP上限约为原来的130%，"
        "请知悉。\n\n您是否了解这些风险并仍要显示超频选项？",
        "警告！顯示卡超頻不當可能導致運作異常甚至硬體損壞，請謹慎操作！"
        "此按鈕將解除GTX680顯示卡BIOS中的TDP鎖定，"
        "解鎖後GTX680顯示卡運作時的TDP上限約為原本的130%，請知悉。\n\n"
        "您是否了解這些風險並仍要顯示超頻選項？",
    }},
    /* 252 */
    {{
        "For the upgrade of the operating frequency of the Kepler series graphics cards!",
        "用于提升Kepler系列显卡的运行频率！",
        "用於提升Kepler系列顯示卡的運作時脈！",
    }},
    /* 253 */
    {{
        "Increase the dynamic frequency of the GPU. \nThis raises maximum Memory clocks for "
        "faster performance when the GPU is in use.",
        "提高GPU的动态频率。\n在GPU使用时提高显存最高频率，以获得更快的性能。",
        "提高GPU的動態時脈。\n在GPU使用時提高記憶體最高時脈，以獲得更快的效能。",
    }},
    /* 254 */ {{"Used to adjust the frame rate control", "用于调节帧率控制", "用於調整幀率控制"}},
    /* 255 */ {{"Warning", "警告", "警告"}},
    /* 256 */ {{"GPU Voltage Set Highest", "GPU电压设为最高", "GPU電壓設為最高"}},
    /* 257 */ {{"Hot Key", "热键", "熱鍵"}},
}};

// std::array accepts fewer initialisers than it has elements and fills the rest with null, so a
// dropped row or column would otherwise only show up at run time.
consteval bool everyCellFilled() {
    for (const Row& row : kTexts) {
        for (const char* cell : row) {
            if (cell == nullptr) {
                return false;
            }
        }
    }
    return true;
}
static_assert(everyCellFilled(), "every row of the language table needs all of its columns");

// The literals above are UTF-8 in this file and must stay UTF-8 in the program; a compiler that
// reads the source in another code page (MSVC without /utf-8) would garble the Chinese columns.
static_assert(std::string_view("°") == std::string_view("\xC2\xB0"),
              "the language table must be compiled with UTF-8 source and execution character sets");

constexpr const char* kNoText = "";

}  // namespace

const char* languageText(int row, int column) {
    if (row < 0 || row >= kLanguageRowCount || column < 0 || column >= kLanguageColumnCount) {
        return kNoText;
    }
    return kTexts[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

}  // namespace qv::lang
