// The status, transient and final texts of a run, as the user reads them.
#pragma once

namespace krdn::text {

// Version probe.
inline constexpr char16_t kDownloadingVersionFile[] = u"下载文件tern.sav\r\n";
inline constexpr char16_t kVersionDownloadFailed[] = u"文件tern.sav下载失败\r\n";
inline constexpr char16_t kVersionFileUnreadable[] = u"文件tern.sav读取失败\r\n";
inline constexpr char16_t kVersionUnknown[] = u"无法获取客户端版本信息。\r\n";
inline constexpr char16_t kClientVersionIs[] = u"当前客户端版本号: ";
inline constexpr char16_t kVersionNotSupported[] = u"此版本不支持自动下载功能。";

// Manifest.
inline constexpr char16_t kFetchingManifest[] = u"获取验证文件信息...\r\n";
inline constexpr char16_t kReadingManifest[] = u"读取验证文件信息";
inline constexpr char16_t kManifestUnavailable[] = u"无法获取验证文件信息。\r\n";

// Verification.
inline constexpr char16_t kVerifyingFiles[] = u"开始校验本地文件...\r\n";
inline constexpr char16_t kVerifyingFileTransient[] = u"校验文件：";  // + path
inline constexpr char16_t kVerifyingFile[] = u"校验文件: ";           // + path + kLineOpen
inline constexpr char16_t kVerifyFailed[] =
    u"该版本文件校验失败，可能服务器版本正在升级中，继续游戏可能会失败，请和管理员联系。\r\n";
inline constexpr char16_t kAllVerified[] = u"恭喜，所有文件都成功通过检验\r\n";
inline constexpr char16_t kLockedNothingFetched[] = u"有文件被锁定，无法验证所有文件。\r\n";
inline constexpr char16_t kLockedAfterRepair[] = u"有文件被锁定，无法验证所有文件。";

// Download.
inline constexpr char16_t kDownloadingFiles[] = u"开始下载文件...\r\n";
inline constexpr char16_t kDownloadingFileTransient[] = u"下载文件：";  // + path + "\r\n"
inline constexpr char16_t kDownloadingFile[] = u"下载文件: ";           // + path + kLineOpen
inline constexpr char16_t kDownloadFailedLine[] = u"下载文件失败。\r\n";
inline constexpr char16_t kDownloadFailed[] = u"下载文件失败。";
inline constexpr char16_t kCannotOpenLine[] = u"无法打开需下载文件。\r\n";
inline constexpr char16_t kCannotOpen[] = u"无法打开需下载文件。";
// "磁盘空间不足：还需要 1.2 GB，可用 0.3 GB。"
inline constexpr char16_t kDiskSpaceShort[] = u"磁盘空间不足：还需要 ";
inline constexpr char16_t kDiskSpaceAvailable[] = u"，可用 ";
inline constexpr char16_t kDiskSpaceEnd[] = u"。";

// Outcomes that complete a file's status line.
inline constexpr char16_t kLineOpen[] = u"......";
inline constexpr char16_t kOutcomeSuccess[] = u"成功\r\n";
inline constexpr char16_t kOutcomeMissing[] = u"文件缺失\r\n";
inline constexpr char16_t kOutcomeUnverifiable[] = u"无法验证\r\n";
inline constexpr char16_t kOutcomeFailed[] = u"失败\r\n";

// Completion.
inline constexpr char16_t kAllDownloaded[] = u"恭喜，已成功下载所有文件\r\n";

}  // namespace krdn::text
