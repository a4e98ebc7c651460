// Compiled with -finput-charset=UTF-8 -fexec-charset=GBK: every literal below
// is stored as GBK bytes. Keep toolkit headers out of this file.
#include "services/texts.h"

namespace texts {

const std::string_view windowTitle = "霁岩2010网络版自动升级器V2.0";
const std::string_view trayTip = "霁岩2008网络版自动升级器";
const std::string_view singleInstanceName = "云舟客-墨川";
const std::string_view fileDescription = "霁岩2010网络版自动升级器";
const std::string_view versionComment = "不定期更新";

const std::string_view captionUrl = "升级网址：";
const std::string_view captionSettings = "参数设置：";
const std::string_view captionMinimise = "下次启动时最小化";
const std::string_view captionAutoUpgrade = "启动程序时自动升级";
const std::string_view captionUnconditional = "无条件升级";
const std::string_view captionSave = "保存设置";
const std::string_view captionOfficialVersion = "官方升级包版本：";
const std::string_view captionInstalledVersion = "本机当前版本：";
const std::string_view captionCheck = "检查更新：";
const std::string_view captionManualUpgrade = "手动升级";
const std::string_view captionToTray = "最小化到托盘";
const std::string_view captionExit = "退出";
const std::string_view captionCredit = "墨川工作室出品";

const std::string_view networkFailed = "无法连接网络，请检查网络！";
const std::string_view welcome = "欢迎使用霁岩2010网络版自动升级器！";
const std::string_view cannotCheck = "无法检查！";
const std::string_view upgradeNeeded = "需要升级！";
const std::string_view upToDate = "已经是最新版本，不需要升级！";
const std::string_view clientNotInstalled = "本机没安装霁岩杀毒软件！";
const std::string_view pleaseSave = "请‘保存设置’！";
const std::string_view saveSucceeded = "保存成功，设置在下次启动时生效！";
const std::string_view saveFailed = "保存失败！";
const std::string_view packageHostUnreachable = "无法连接升级服务器！";

const std::string_view configFileName = "\\config.ini";
const std::string_view settingsSection = "参数设置";
const std::string_view keyMinimise = "最小化运行";
const std::string_view keyAutoUpgrade = "自动升级";
const std::string_view keyUnconditional = "无条件升级";
const std::string_view yes = "YES";
const std::string_view no = "NO";
const std::string_view minimiseOn = "真";
const std::string_view minimiseOff = "假";

const std::string_view installedVersionPath = "SOFTWARE\\tolvek\\Kel\\version";

const std::string_view httpPrefix = "http://";
const std::string_view noticePath = "/tolvek/09update.txt";
const std::string_view releasePagePath = "/tolvek/tolvek.htm";
const std::string_view packageDirPrefix = "/netver/10netver/";
const std::string_view packageLinkSuffix = "/netver/10netver/(.*?)/Update.exe.";
const std::string_view packageFileSuffix = "/update.exe";
const std::string_view packageFileName = "\\update.exe";
const std::string_view packageCommandLine = "update.exe";
const std::string_view versionCellPattern =
    "2010网络版升级包</strong> </td>\r\n        <td align=\"center\" bgcolor=\"#FFFFFF\">(.*?)</td>";
const std::string_view emptyPlaceholder = "(空)";
const std::string_view openQuote = "“";
const std::string_view closeQuote = "”";

const std::string_view statusSize = "文件大小：";
const std::string_view statusSpeed = "速度：";
const std::string_view statusDownloaded = "已下载：";
const std::string_view statusDone = "已完成：";
const std::string_view unitKb = "KB";
const std::string_view unitKbPerSecond = "KB/秒";
const std::string_view percent = "%";

const std::string_view fetchAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

const std::string_view engineAgent = "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";
const std::string_view logDate = "%d年%d月%d日";
const std::string_view logHourMinuteSecond = "%d时%d分%d秒";
const std::string_view logHourMinute = "%d时%d分";
const std::string_view logHour = "%d时";
const std::string_view logResolving = "正在解析域名 [%s]";
const std::string_view logResolveFailed = "解析域名 [%s]出错";
const std::string_view logResolvingProxy = "正在代理服务器解析域名 [%s]";
const std::string_view logResolveProxyFailed = "解析代理服务器域名 [%s]出错";
const std::string_view logConnecting = "正在连接 [%s:%d]";
const std::string_view logConnectingProxy = "正在连接代理服务器 [%s:%d]";
const std::string_view logConnectTimeout = "连接 [%s:%d]超时";
const std::string_view logConnectFailed = "连接 [%s:%d]失败";
const std::string_view logConnected = "连接 [%s:%d]成功";
const std::string_view logRangeConnected = "连接[%s:%d]成功";
const std::string_view logSendFailed = "发送请求失败";
const std::string_view logHeaderTooLong = "HTTP返回头部信息过长";
const std::string_view logRedirect = "重定向到 [%s]";
const std::string_view logRedirectNoLocation = "获得重定向信息错误";
const std::string_view logRedirectFailed = "COOKIE过长或获得重定向信息错误或不支持的协议";
const std::string_view logHttpError = "出现错误";
const std::string_view logUnsupportedStatus = "暂时不支持的返回, 返回号[%d]";
const std::string_view logNoSize = "无法获得文件大小";
const std::string_view logRetryWait = "等待%d秒后重试";
const std::string_view logCreateFileFailed =
    "创建文件错误，超出最大支持下载长度或磁盘是可写或磁盘没有空间";
const std::string_view logRenamed = "发现同名文件, 系统自动更名为%s";
const std::string_view logRenameExhausted = "发现同名文件，超过系统自动更名次数";
const std::string_view logUserAbandoned = "发现同名文件, 用户选择放弃下载";
const std::string_view logUserRenamed = "发现同名文件, 用户更名为%s";

std::string_view socketErrorText(int code) {
    switch (code) {
        case -2: return "位置错误";
        case -3: return "设置或获得SOCK状态出错";
        case -4: return "空指针错误";
        case -5: return "等待接收或发送数据错误";
        case -6: return "等待接收或发送数据超时";
        case -7: return "发送数据错误";
        case -8: return "接收数据错误";
        case -9: return "FD_ISSET 找不到需要的SOCK";
        case -10: return "接收数据超时";
        case -21: return "读MMS数据错误";
        case -22: return "有错误发生";
        // Negated socket error numbers, as the target systems number them.
        case -10004: return "函数调用被中断";
        case -10014: return "无效的指针地址";
        case -10022: return "无效的参数";
        case -10035: return "操作无法立即完成";
        case -10036: return "操作正在进行中";
        case -10038: return "对象不是套接字";
        case -10040: return "消息过长";
        case -10045: return "操作不被支持";
        case -10050: return "网络已断开";
        case -10052: return "网络连接因保持活动失败而被重置";
        case -10053: return "连接被中止";
        case -10054: return "连接被对方重置";
        case -10057: return "套接字未连接";
        case -10058: return "套接字已关闭";
        case -10060: return "连接超时";
        case -10093: return "套接字库未启动";
        default: return "未知错误";
    }
}

}  // namespace texts
