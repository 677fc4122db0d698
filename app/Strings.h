#pragma once
// Every text the program shows a person, in one place. Sources are UTF-8; the
// compiler stores narrow literals as GBK, the program's own code page.

#include "app/runtime/Text.h"

namespace Strings {

inline const Text ProductName = "Quorvale";
inline const Text MakerLine = "Lindqvar图片下载器";

// Main window.
inline const Text AddressHintPrefix = "请输入URL地址 例:";
inline const Text AddressHintSuffix = "/main/post/XXX";
inline const Text WaitingForAddress = " 等待URL输入";
inline const Text AddressWrong = " 请检查网址";
inline const Text AddressRight = " 网址正确";
inline const Text HomePage = "首页";
inline const Text DownloadPage = "下载";
inline const Text DefaultFolder = "默认桌面";
inline const Text Browse = "浏览";
inline const Text StartDownload = "开始下载";
inline const Text WaitingForData = "等待数据";
inline const Text AboutButton = "关于软件";
inline const Text ChooseFolderTitle = "选择图片存放位置";

// Discovery and download status.
inline const Text PicturesFound = "发现图片";
inline const Text DownloadStarted = "下载开始";
inline const Text DownloadFinished = "下载完毕";
inline const Text DownloadFailedCount = " 失败";  // followed by how many pictures failed

// Runtime.
inline const Text ListIndexOutOfRange = "程序运行错误: 列表下标越界 ";
inline const Text FatalErrorCaption = "Quorvale 运行错误";

}  // namespace Strings
