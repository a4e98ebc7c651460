#pragma once

#include <string_view>

// Every fixed text of the program, as GBK bytes. texts.cpp is compiled with
// -fexec-charset=GBK, so each literal there is stored exactly as the target
// systems hold it; nothing else in the program spells these texts out.
namespace texts {

// Window and notification area.
extern const std::string_view windowTitle;
extern const std::string_view trayTip;
extern const std::string_view singleInstanceName;
extern const std::string_view fileDescription;
extern const std::string_view versionComment;

// Captions of the main window's controls.
extern const std::string_view captionUrl;            // 标签2
extern const std::string_view captionSettings;       // 标签24
extern const std::string_view captionMinimise;       // 选择框1
extern const std::string_view captionAutoUpgrade;    // 选择框2
extern const std::string_view captionUnconditional;  // 选择框3
extern const std::string_view captionSave;           // 按钮4
extern const std::string_view captionOfficialVersion;  // 标签6
extern const std::string_view captionInstalledVersion;  // 标签27
extern const std::string_view captionCheck;          // 标签9
extern const std::string_view captionManualUpgrade;  // 按钮1
extern const std::string_view captionToTray;         // 按钮5
extern const std::string_view captionExit;           // 按钮3
extern const std::string_view captionCredit;         // 标签22

// Messages of the start-up check, the settings and the download request.
extern const std::string_view networkFailed;
extern const std::string_view welcome;
extern const std::string_view cannotCheck;
extern const std::string_view upgradeNeeded;
extern const std::string_view upToDate;
extern const std::string_view clientNotInstalled;
extern const std::string_view pleaseSave;
extern const std::string_view saveSucceeded;
extern const std::string_view saveFailed;
extern const std::string_view packageHostUnreachable;

// Settings file.
extern const std::string_view configFileName;  // "\config.ini"
extern const std::string_view settingsSection;
extern const std::string_view keyMinimise;
extern const std::string_view keyAutoUpgrade;
extern const std::string_view keyUnconditional;
extern const std::string_view yes;
extern const std::string_view no;
extern const std::string_view minimiseOn;   // 真
extern const std::string_view minimiseOff;  // 假

// Registry value of the installed client's version.
extern const std::string_view installedVersionPath;

// Release page, notice and package.
extern const std::string_view httpPrefix;  // "http://"
extern const std::string_view noticePath;
extern const std::string_view releasePagePath;
extern const std::string_view packageDirPrefix;  // "/netver/10netver/"
extern const std::string_view packageLinkSuffix;  // "/netver/10netver/(.*?)/Update.exe."
extern const std::string_view packageFileSuffix;  // "/update.exe"
extern const std::string_view packageFileName;    // "\update.exe"
extern const std::string_view packageCommandLine;  // "update.exe"
extern const std::string_view versionCellPattern;
extern const std::string_view emptyPlaceholder;  // "(空)"
extern const std::string_view openQuote;         // “
extern const std::string_view closeQuote;        // ”

// Progress display.
extern const std::string_view statusSize;
extern const std::string_view statusSpeed;
extern const std::string_view statusDownloaded;
extern const std::string_view statusDone;
extern const std::string_view unitKb;
extern const std::string_view unitKbPerSecond;
extern const std::string_view percent;

// Web fetch.
extern const std::string_view fetchAgent;

// Transfer engine: request, log lines and their time stamps.
extern const std::string_view engineAgent;
extern const std::string_view logDate;         // "%d年%d月%d日"
extern const std::string_view logHourMinuteSecond;
extern const std::string_view logHourMinute;
extern const std::string_view logHour;
extern const std::string_view logResolving;
extern const std::string_view logResolveFailed;
extern const std::string_view logResolvingProxy;
extern const std::string_view logResolveProxyFailed;
extern const std::string_view logConnecting;
extern const std::string_view logConnectingProxy;
extern const std::string_view logConnectTimeout;
extern const std::string_view logConnectFailed;
extern const std::string_view logConnected;       // opening exchange
extern const std::string_view logRangeConnected;  // range exchange, no blank
extern const std::string_view logSendFailed;
extern const std::string_view logHeaderTooLong;
extern const std::string_view logRedirect;
extern const std::string_view logRedirectNoLocation;
extern const std::string_view logRedirectFailed;
extern const std::string_view logHttpError;
extern const std::string_view logUnsupportedStatus;
extern const std::string_view logNoSize;
extern const std::string_view logRetryWait;
extern const std::string_view logCreateFileFailed;
extern const std::string_view logRenamed;
extern const std::string_view logRenameExhausted;
extern const std::string_view logUserAbandoned;
extern const std::string_view logUserRenamed;

// Error texts of reads and connects, by code; socketErrorText(code) picks one.
std::string_view socketErrorText(int code);

}  // namespace texts
