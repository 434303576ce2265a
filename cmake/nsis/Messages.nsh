; The installer's own words in each of its languages: English, Simplified and Traditional
; Chinese, as the panel speaks them. Included after the MUI_LANGUAGE lines. UTF-8 with a byte
; order mark, which is how makensis knows it.

; A search in Start for the device's or the maker's name finds the panel by this.
LangString SHORTCUT_TEXT ${LANG_ENGLISH} "Control panel of the Lumirel USB Audio Device (Vexmora)"
LangString SHORTCUT_TEXT ${LANG_SIMPCHINESE} "Lumirel USB Audio Device 控制面板 (Vexmora)"
LangString SHORTCUT_TEXT ${LANG_TRADCHINESE} "Lumirel USB Audio Device 控制台 (Vexmora)"

LangString SECTION_PANEL ${LANG_ENGLISH} "Kestrun control panel"
LangString SECTION_PANEL ${LANG_SIMPCHINESE} "Kestrun 控制面板"
LangString SECTION_PANEL ${LANG_TRADCHINESE} "Kestrun 控制台"

LangString SECTION_AUTOSTART ${LANG_ENGLISH} "Start with Windows"
LangString SECTION_AUTOSTART ${LANG_SIMPCHINESE} "随 Windows 启动"
LangString SECTION_AUTOSTART ${LANG_TRADCHINESE} "隨 Windows 啟動"

LangString FINISH_RUN ${LANG_ENGLISH} "Start Kestrun"
LangString FINISH_RUN ${LANG_SIMPCHINESE} "启动 Kestrun"
LangString FINISH_RUN ${LANG_TRADCHINESE} "啟動 Kestrun"

LangString ENDING_PANEL ${LANG_ENGLISH} "Ending the running panel"
LangString ENDING_PANEL ${LANG_SIMPCHINESE} "正在关闭正在运行的面板"
LangString ENDING_PANEL ${LANG_TRADCHINESE} "正在關閉執行中的面板"

LangString PANEL_DID_NOT_END ${LANG_ENGLISH} "The panel did not end within 15 seconds"
LangString PANEL_DID_NOT_END ${LANG_SIMPCHINESE} "面板未在 15 秒内关闭"
LangString PANEL_DID_NOT_END ${LANG_TRADCHINESE} "面板未在 15 秒內關閉"

LangString NO_USERS_GRANT ${LANG_ENGLISH} "Users could not be given write access to CPL.ini"
LangString NO_USERS_GRANT ${LANG_SIMPCHINESE} "无法授予 Users 组写入 CPL.ini 的权限"
LangString NO_USERS_GRANT ${LANG_TRADCHINESE} "無法授予 Users 群組寫入 CPL.ini 的權限"

; The driver library missing: the panel runs, but cannot change the format.
LangString NO_LIBRARY_TEXT ${LANG_ENGLISH} "The device driver's library ${DRIVER_LIBRARY} is not in this folder. \
The panel will run, but it cannot change the format until the device driver is installed here."
LangString NO_LIBRARY_TEXT ${LANG_SIMPCHINESE} "此文件夹中没有设备驱动程序的库 ${DRIVER_LIBRARY}。\
面板可以运行，但在此处安装设备驱动程序之前无法更改采样率和位深度。"
LangString NO_LIBRARY_TEXT ${LANG_TRADCHINESE} "此資料夾中沒有裝置驅動程式的程式庫 ${DRIVER_LIBRARY}。\
面板可以執行，但在此處安裝裝置驅動程式之前無法變更取樣率和位元深度。"

LangString NO_LIBRARY_ASK ${LANG_ENGLISH} "Press OK to install here anyway, or Cancel to choose another folder."
LangString NO_LIBRARY_ASK ${LANG_SIMPCHINESE} "按“确定”仍安装到此处，或按“取消”选择其他文件夹。"
LangString NO_LIBRARY_ASK ${LANG_TRADCHINESE} "按「確定」仍安裝到此處，或按「取消」選擇其他資料夾。"

; A program file in use (locked) is removed at the next restart.
LangString IN_USE_DETAIL ${LANG_ENGLISH} "Kestrun.exe is in use: it will be removed when Windows restarts"
LangString IN_USE_DETAIL ${LANG_SIMPCHINESE} "Kestrun.exe 正在使用中：将在 Windows 重新启动时删除"
LangString IN_USE_DETAIL ${LANG_TRADCHINESE} "Kestrun.exe 正在使用中：將在 Windows 重新啟動時移除"

LangString IN_USE_TEXT ${LANG_ENGLISH} "Kestrun.exe is in use and will be removed when Windows restarts. \
Kestrun stays in Apps & features until then: uninstall it again after the restart to remove the rest."
LangString IN_USE_TEXT ${LANG_SIMPCHINESE} "Kestrun.exe 正在使用中，将在 Windows 重新启动时删除。\
在此之前 Kestrun 仍会显示在“应用和功能”中：请在重新启动后再次卸载，以删除其余部分。"
LangString IN_USE_TEXT ${LANG_TRADCHINESE} "Kestrun.exe 正在使用中，將在 Windows 重新啟動時移除。\
在此之前 Kestrun 仍會顯示在「應用程式與功能」中：請在重新啟動後再次解除安裝，以移除其餘部分。"
