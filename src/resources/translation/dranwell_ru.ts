<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name></name>
    <message id="devcon_err_cant_write_settings">
        <source>settings cannot be written</source>
        <translation>не удалось записать настройки</translation>
    </message>
    <message id="devcon_sp_btn_apply">
        <source> Apply</source>
        <translation> Применить</translation>
    </message>
    <message id="devcon_sp_btn_disconnect">
        <source> Disconnect</source>
        <translation> Отключить</translation>
    </message>
    <message id="devcon_sp_btn_refresh">
        <source> Refresh</source>
        <translation> Обновить</translation>
    </message>
    <message id="devcon_sp_description">
        <source>Description:</source>
        <translation>Описание:</translation>
    </message>
    <message id="devcon_sp_in_use">
        <source>Connected to:</source>
        <translation>Подключено к:</translation>
    </message>
    <message id="devcon_sp_list_all">
        <source>All ports</source>
        <translation>Все порты</translation>
    </message>
    <message id="devcon_sp_list_all_tip">
        <source>List every serial port, not only those of the MERO, e.g. a USB serial adapter of another maker</source>
        <translation>Показывать все последовательные порты, а не только порты MERO, напр. USB-адаптер другого производителя</translation>
    </message>
    <message id="devcon_sp_location">
        <source>Location:</source>
        <translation>Расположение:</translation>
    </message>
    <message id="devcon_sp_manufacturer">
        <source>Manufacturer:</source>
        <translation>Производитель:</translation>
    </message>
    <message id="devcon_sp_no_ports">
        <source>No MERO found. Connect it with a USB data cable and switch it on; it is listed here within a second.</source>
        <translation>MERO не найден. Подключите его USB-кабелем для передачи данных и включите; он появится в списке через секунду.</translation>
    </message>
    <message id="devcon_sp_no_ports_linux">
        <source>On Linux your user account must also be in the dialout group: sudo usermod -aG dialout $USER, then log in again.</source>
        <translation>В Linux ваша учётная запись также должна входить в группу dialout: sudo usermod -aG dialout $USER, затем войдите в систему заново.</translation>
    </message>
    <message id="devcon_sp_port_placeholder">
        <source>Type a port, e.g. ttyUSB0</source>
        <translation>Порт, напр. ttyUSB0</translation>
    </message>
    <message id="devcon_sp_port_tip">
        <source>Pick a listed port or type any other: a path such as /dev/ttyUSB0 or /tmp/ttyMERO0, or a name such as ttyACM0</source>
        <translation>Выберите порт из списка или введите любой другой: путь, напр. /dev/ttyUSB0 или /tmp/ttyMERO0, или имя, напр. ttyACM0</translation>
    </message>
    <message id="devcon_sp_serial_number">
        <source>Serial number:</source>
        <translation>Серийный номер:</translation>
    </message>
    <message id="devcon_sp_window_title">
        <source>Select serial port..</source>
        <translation>Выбор порта..</translation>
    </message>
    <message id="dw_axis_title_difference">
        <source>Δ%1</source>
        <translation>Δ%1</translation>
    </message>
    <message id="dw_axis_title_frequency">
        <source>Frequency</source>
        <translation>Частота</translation>
    </message>
    <message id="dw_chart_type_log_mag">
        <source>Log. mag.</source>
        <translation>Лог. ампл.</translation>
    </message>
    <message id="dw_err_autoreconnect_failed">
        <source>couldn't auto-reconnect to device. Please, connect it manually later.</source>
        <translation>не удалось автоматически переподключиться к устройству. Подключите его вручную позже.</translation>
    </message>
    <message id="dw_err_calib_cant_create_calib_table">
        <source>failed to create calib table at: </source>
        <translation>не удалось создать таблицу калибровок: </translation>
    </message>
    <message id="dw_err_calib_cant_create_device_dir">
        <source>failed to create dir used to store calibration files for this device at: </source>
        <translation>не удалось создать папку для файлов калибровки этого устройства: </translation>
    </message>
    <message id="dw_err_calib_cant_create_dirs">
        <source>failed to create dir used to store calibration files at: </source>
        <translation>не удалось создать папку для файлов калибровки: </translation>
    </message>
    <message id="dw_err_calib_cant_create_file">
        <source>failed to create calib file at: </source>
        <translation>не удалось создать файл калибровки: </translation>
    </message>
    <message id="dw_err_calib_cant_create_table_file">
        <source>failed to load calib table file at: </source>
        <translation>не удалось загрузить файл таблицы калибровок: </translation>
    </message>
    <message id="dw_err_calib_no_dir">
        <source>failed to find dir used to store calibration files at: </source>
        <translation>не найдена папка для файлов калибровки: </translation>
    </message>
    <message id="dw_err_calib_zero_reference">
        <source>Calibration failed, the previous calibration is kept. Check the cables and the device, then calibrate again. The device measured a zero reference, which nothing can be divided by, at: </source>
        <translation>Калибровка не удалась, сохранена прежняя калибровка. Проверьте кабели и устройство, затем откалибруйте снова. Устройство измерило нулевой опорный уровень, на который нельзя делить, в точке: </translation>
    </message>
    <message id="dw_err_cant_request_edit_user_settings">
        <source>Can't request to edit user settings from OS.</source>
        <translation>Не удалось открыть пользовательские настройки средствами системы.</translation>
    </message>
    <message id="dw_err_cant_write_settings">
        <source>settings cannot be written</source>
        <translation>не удалось записать настройки</translation>
    </message>
    <message id="dw_err_chart_type_bad">
        <source>chart type must be set</source>
        <translation>не задан тип графика</translation>
    </message>
    <message id="dw_err_connected_not_mero_device">
        <source>only MERO-devices work with this software, but current device is: </source>
        <translation>программа работает только с устройствами MERO, а подключено: </translation>
    </message>
    <message id="dw_err_failed_manager_init">
        <source>failed to init: </source>
        <translation>ошибка инициализации: </translation>
    </message>
    <message id="dw_err_got_old_device_text">
        <source>Your device's firmware version isn't considered compatible with this software. Please, update your device</source>
        <translation>Версия прошивки устройства несовместима с этой программой. Обновите прошивку устройства.</translation>
    </message>
    <message id="dw_err_got_old_device_title">
        <source>Warning: update is required</source>
        <translation>Внимание: требуется обновление</translation>
    </message>
    <message id="dw_err_last_calib_cant_open">
        <source>failed to load last used calibration for this device from path: </source>
        <translation>не удалось загрузить последнюю калибровку этого устройства из файла: </translation>
    </message>
    <message id="dw_err_last_calib_lost">
        <source>last used calibration for this device is missing.</source>
        <translation>последняя калибровка этого устройства отсутствует.</translation>
    </message>
    <message id="dw_err_logger_cant_create_dirs">
        <source>failed to create dir used to store logs at: </source>
        <translation>не удалось создать папку для журналов: </translation>
    </message>
    <message id="dw_err_logger_cant_create_file">
        <source>failed to create log file at: </source>
        <translation>не удалось создать файл журнала: </translation>
    </message>
    <message id="dw_err_settings_cant_create_default">
        <source>default settings file cannot be generated at: </source>
        <translation>не удалось создать файл настроек по умолчанию: </translation>
    </message>
    <message id="dw_err_settings_cant_create_dirs">
        <source>failed to create dirs used to save profiles at: </source>
        <translation>не удалось создать папки для профилей: </translation>
    </message>
    <message id="dw_err_settings_cant_create_files">
        <source>failed to create files used to work with user profiles</source>
        <translation>не удалось создать файлы профилей пользователя</translation>
    </message>
    <message id="dw_err_settings_cant_create_user">
        <source>user settings file cannot be generated at: </source>
        <translation>не удалось создать файл пользовательских настроек: </translation>
    </message>
    <message id="dw_err_settings_cant_rewrite_current">
        <source>you were trying to rewrite 'current' preset, which is forbidden. Please, try again and choose different name of the file</source>
        <translation>перезаписывать профиль 'current' запрещено. Повторите с другим именем файла</translation>
    </message>
    <message id="dw_err_settings_cant_rewrite_default">
        <source>you were trying to rewrite 'default' preset, which is forbidden. Please, try again and choose different name of the file</source>
        <translation>перезаписывать профиль 'default' запрещено. Повторите с другим именем файла</translation>
    </message>
    <message id="dw_err_settings_cant_rewrite_user">
        <source>you were trying to rewrite 'user' preset, which is forbidden. Please, try again and choose different name of the file</source>
        <translation>перезаписывать профиль 'user' запрещено. Повторите с другим именем файла</translation>
    </message>
    <message id="dw_err_settings_custom_files_not_allowed">
        <source>you cannot set profile to use some custom file for writing: </source>
        <translation>профиль не может вести запись в произвольный файл: </translation>
    </message>
    <message id="dw_err_tr_files_lost">
        <source>translation files cannot be found</source>
        <translation>файлы перевода не найдены</translation>
    </message>
    <message id="dw_err_update_files_lost">
        <source>update files are lost for this device. Please, contact support.</source>
        <translation>файлы обновления для этого устройства не найдены. Обратитесь в техподдержку.</translation>
    </message>
    <message id="dw_export">
        <source>Export…</source>
        <translation>Экспорт…</translation>
    </message>
    <message id="dw_export_copy_window">
        <source>Copy picture of the window</source>
        <translation>Копировать снимок окна</translation>
    </message>
    <message id="dw_export_failed">
        <source>The file was not written:
%1</source>
        <translation>Файл не записан:
%1</translation>
    </message>
    <message id="dw_export_filter_csv">
        <source>Trace table (*.csv)</source>
        <translation>Таблица кривых (*.csv)</translation>
    </message>
    <message id="dw_export_filter_png">
        <source>Picture (*.png)</source>
        <translation>Изображение (*.png)</translation>
    </message>
    <message id="dw_export_filter_touchstone">
        <source>Touchstone (*.s2p)</source>
        <translation>Touchstone (*.s2p)</translation>
    </message>
    <message id="dw_export_filter_traces">
        <source>Exported traces (*.csv *.s2p)</source>
        <translation>Экспортированные кривые (*.csv *.s2p)</translation>
    </message>
    <message id="dw_export_replace">
        <source>%1
already exists. Replace it?</source>
        <translation>%1
уже существует. Заменить?</translation>
    </message>
    <message id="dw_export_title">
        <source>Export</source>
        <translation>Экспорт</translation>
    </message>
    <message id="dw_limit_badge_fail">
        <source>FAIL</source>
        <translation>БРАК</translation>
    </message>
    <message id="dw_limit_badge_pass">
        <source>PASS</source>
        <translation>НОРМА</translation>
    </message>
    <message id="dw_limit_badge_tip">
        <source>Limit mask of the last complete sweep: %1 of %2 points outside the bounds (highlighted on the trace)</source>
        <translation>Маска допусков по последнему полному проходу: %1 из %2 точек вне границ (выделены на графике)</translation>
    </message>
    <message id="dw_mark_back_to_preset">
        <source>Marks back to the preset</source>
        <translation>Маркеры по пресету</translation>
    </message>
    <message id="dw_mark_back_to_preset_tip">
        <source>Forget the marks placed or moved by hand, their search modes and the readouts: the preset&apos;s marks again</source>
        <translation>Забыть маркеры, поставленные или сдвинутые вручную, их режимы поиска и отсчёты: снова маркеры пресета</translation>
    </message>
    <message id="dw_mark_band_tip">
        <source>Minimum, maximum, flatness and mean level of the trace between two marks</source>
        <translation>Минимум, максимум, неравномерность и средний уровень между двумя маркерами</translation>
    </message>
    <message id="dw_mark_band_to">
        <source>Band readout from M%1 to</source>
        <translation>Полоса от M%1 до</translation>
    </message>
    <message id="dw_mark_lmag">
        <source>LMg:</source>
        <translation>Ампл:</translation>
    </message>
    <message id="dw_mark_mode_fixed">
        <source>M%1: fixed frequency</source>
        <translation>M%1: фиксированная частота</translation>
    </message>
    <message id="dw_mark_mode_minimum">
        <source>M%1: minimum search</source>
        <translation>M%1: поиск минимума</translation>
    </message>
    <message id="dw_mark_mode_peak">
        <source>M%1: peak search</source>
        <translation>M%1: поиск максимума</translation>
    </message>
    <message id="dw_mark_mode_tip">
        <source>Fixed: the mark stays where it is put. Peak or minimum: after every sweep the mark moves to the highest or lowest point of the range, or of the band readout's marks when one is set</source>
        <translation>Фиксированная: маркер остаётся на месте. Максимум или минимум: после каждого прохода маркер переходит на самую высокую или низкую точку диапазона или полосы между маркерами, если она задана</translation>
    </message>
    <message id="dw_mark_no_data">
        <source>No data.</source>
        <translation>Нет данных.</translation>
    </message>
    <message id="dw_mark_place">
        <source>Place M%1 here (Ctrl+click)</source>
        <translation>Поставить M%1 сюда (Ctrl+щелчок)</translation>
    </message>
    <message id="dw_mark_place_none">
        <source>All five marks are placed</source>
        <translation>Все пять маркеров уже стоят</translation>
    </message>
    <message id="dw_mark_place_tip">
        <source>Puts the next unset mark at this frequency; drag a mark with the left mouse button to move it</source>
        <translation>Ставит следующий свободный маркер на эту частоту; маркер перетаскивается левой кнопкой мыши</translation>
    </message>
    <message id="dw_mark_remove">
        <source>Remove M%1</source>
        <translation>Убрать M%1</translation>
    </message>
    <message id="dw_mark_type_lmag">
        <source>Log. mag.</source>
        <translation>Лог. ампл.</translation>
    </message>
    <message id="dw_marks_table_tip">
        <source>Marks: frequency and level. Drag the table away from the trace it hides</source>
        <translation>Маркеры: частота и уровень. Таблицу можно перетащить, если она закрывает график</translation>
    </message>
    <message id="dw_menu_device_connect_tt">
        <source>Open device connection settings</source>
        <translation>Настройки подключения устройства</translation>
    </message>
    <message id="dw_menu_job_idle">
        <source>Idle</source>
        <translation>Ожидание</translation>
    </message>
    <message id="dw_menu_job_process_calib">
        <source>Calibrating</source>
        <translation>Калибровка</translation>
    </message>
    <message id="dw_menu_job_process_scan">
        <source>Scanning</source>
        <translation>Сканирование</translation>
    </message>
    <message id="dw_menu_scan_pause_tt">
        <source>Toggle scan/pause</source>
        <translation>Сканирование/пауза</translation>
    </message>
    <message id="dw_menu_show_tt">
        <source>Toggle show/hide menu</source>
        <translation>Показать/скрыть меню</translation>
    </message>
    <message id="dw_menu_title">
        <source>Oskiro MERO</source>
        <translation>Oskiro MERO</translation>
    </message>
    <message id="dw_pabout_about_qt">
        <source>About Qt</source>
        <translation>О Qt</translation>
    </message>
    <message id="dw_pabout_appversion_title">
        <source>App version: </source>
        <translation>Версия программы: </translation>
    </message>
    <message id="dw_pabout_icons_credit">
        <source>Icons and artwork: &lt;a href="https://www.oskiro.example/"&gt;Oskiro design team&lt;/a&gt;</source>
        <translation>Значки и графика: &lt;a href="https://www.oskiro.example/"&gt;дизайн-команда Oskiro&lt;/a&gt;</translation>
    </message>
    <message id="dw_pabout_support_title">
        <source>Tech. support: </source>
        <translation>Техподдержка: </translation>
    </message>
    <message id="dw_pmain_about">
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message id="dw_pmain_export">
        <source>Export</source>
        <translation>Экспорт</translation>
    </message>
    <message id="dw_pmain_settings">
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message id="dw_pmain_update_firmware">
        <source>Device</source>
        <translation>Устройство</translation>
    </message>
    <message id="dw_port_denied_in_use">
        <source>%1 is in use by another program, e.g. a serial terminal, ModemManager or a second Oskiro MERO. Close it and connect again.</source>
        <translation>%1 занят другой программой, напр. терминалом, ModemManager или второй копией Oskiro MERO. Закройте её и подключитесь снова.</translation>
    </message>
    <message id="dw_port_denied_join_group">
        <source>The port belongs to the group &quot;%1&quot;. Add your account to it, then log out and in again:

sudo usermod -aG %1 $USER</source>
        <translation>Порт принадлежит группе "%1". Добавьте в неё свою учётную запись и войдите в систему заново:
sudo usermod -aG %1 $USER</translation>
    </message>
    <message id="dw_port_denied_no_permission">
        <source>Your user account may not open %1.</source>
        <translation>Вашей учётной записи не разрешено открывать %1.</translation>
    </message>
    <message id="dw_port_denied_title">
        <source>No access to the port</source>
        <translation>Нет доступа к порту</translation>
    </message>
    <message id="dw_port_denied_udev_rule">
        <source>The udev rule that comes with Oskiro MERO gives the user logged in at the computer access to the MERO&apos;s ports, no group needed: install it as %1 (the Debian package does so), then plug the device in again.</source>
        <translation>Правило udev из комплекта Oskiro MERO даёт доступ к портам MERO пользователю, работающему за компьютером, без всяких групп: установите его как %1 (пакет Debian делает это сам), затем переподключите устройство.</translation>
    </message>
    <message id="dw_preseteditor_add">
        <source>Add</source>
        <translation>Добавить</translation>
    </message>
    <message id="dw_preseteditor_add_segment">
        <source>Add segment</source>
        <translation>Добавить участок</translation>
    </message>
    <message id="dw_preseteditor_apply">
        <source>Apply</source>
        <translation>Применить</translation>
    </message>
    <message id="dw_preseteditor_cancel">
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message id="dw_preseteditor_copy_suffix">
        <source> (copy)</source>
        <translation> (копия)</translation>
    </message>
    <message id="dw_preseteditor_delete">
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message id="dw_preseteditor_duplicate">
        <source>Duplicate</source>
        <translation>Копировать</translation>
    </message>
    <message id="dw_preseteditor_err_calibrating">
        <source>A calibration is running; change the presets after it has finished.</source>
        <translation>Идёт калибровка; измените предустановки после её окончания.</translation>
    </message>
    <message id="dw_preseteditor_err_limit">
        <source>%1, %2: limit segment %3 needs a start below its stop (MHz) and at least one bound in dB, the lower not above the upper.</source>
        <translation>%1, %2: участку маски %3 нужны начало меньше конца (МГц) и хотя бы одна граница в дБ, нижняя не выше верхней.</translation>
    </message>
    <message id="dw_preseteditor_err_mark">
        <source>%1, %2: marker M%3 must be a frequency between start and stop.</source>
        <translation>%1, %2: маркер M%3 должен быть частотой между началом и концом.</translation>
    </message>
    <message id="dw_preseteditor_err_name_empty">
        <source>A preset needs a name.</source>
        <translation>У предустановки должно быть название.</translation>
    </message>
    <message id="dw_preseteditor_err_name_taken">
        <source>The name "%1" is given to more than one preset.</source>
        <translation>Название «%1» носят несколько предустановок.</translation>
    </message>
    <message id="dw_preseteditor_err_no_presets">
        <source>At least one preset is needed.</source>
        <translation>Нужна хотя бы одна предустановка.</translation>
    </message>
    <message id="dw_preseteditor_err_points">
        <source>%1, %2: the number of points must be a whole number from %3 to %4.</source>
        <translation>%1, %2: число точек должно быть целым, от %3 до %4.</translation>
    </message>
    <message id="dw_preseteditor_err_range">
        <source>%1, %2: start and stop must be frequencies from %3 to %4 MHz, start below stop.</source>
        <translation>%1, %2: начало и конец должны быть частотами от %3 до %4 МГц, начало меньше конца.</translation>
    </message>
    <message id="dw_preseteditor_err_write">
        <source>The presets could not be written to %1; nothing was changed.</source>
        <translation>Не удалось записать предустановки в %1; ничего не изменено.</translation>
    </message>
    <message id="dw_preseteditor_limit_lower">
        <source>Lower, dB</source>
        <translation>Нижняя, дБ</translation>
    </message>
    <message id="dw_preseteditor_limit_start">
        <source>Start, MHz</source>
        <translation>Начало, МГц</translation>
    </message>
    <message id="dw_preseteditor_limit_stop">
        <source>Stop, MHz</source>
        <translation>Конец, МГц</translation>
    </message>
    <message id="dw_preseteditor_limit_upper">
        <source>Upper, dB</source>
        <translation>Верхняя, дБ</translation>
    </message>
    <message id="dw_preseteditor_limits">
        <source>Limit mask:</source>
        <translation>Маска допуска:</translation>
    </message>
    <message id="dw_preseteditor_marks">
        <source>Markers M1–M5, MHz (empty: none):</source>
        <translation>Маркеры M1–M5, МГц (пусто: нет):</translation>
    </message>
    <message id="dw_preseteditor_name">
        <source>Name:</source>
        <translation>Название:</translation>
    </message>
    <message id="dw_preseteditor_new_name">
        <source>New preset</source>
        <translation>Новая предустановка</translation>
    </message>
    <message id="dw_preseteditor_ok">
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message id="dw_preseteditor_points">
        <source>Points:</source>
        <translation>Точек:</translation>
    </message>
    <message id="dw_preseteditor_recalibrate_text">
        <source>The frequency ranges of the presets have changed. The stored calibration no longer fits them and will not be loaded: calibrate the presets again before using calibration.</source>
        <translation>Диапазоны частот предустановок изменились. Сохранённая калибровка им больше не соответствует и не будет загружена: откалибруйте предустановки заново, прежде чем пользоваться калибровкой.</translation>
    </message>
    <message id="dw_preseteditor_recalibrate_title">
        <source>Calibration needed</source>
        <translation>Нужна калибровка</translation>
    </message>
    <message id="dw_preseteditor_remove_segment">
        <source>Remove segment</source>
        <translation>Удалить участок</translation>
    </message>
    <message id="dw_preseteditor_start">
        <source>Start, MHz:</source>
        <translation>Начало, МГц:</translation>
    </message>
    <message id="dw_preseteditor_stop">
        <source>Stop, MHz:</source>
        <translation>Конец, МГц:</translation>
    </message>
    <message id="dw_preseteditor_title">
        <source>Range presets</source>
        <translation>Предустановки диапазонов</translation>
    </message>
    <message id="dw_psettings_calibrate">
        <source>Calibrate</source>
        <translation>Калибровать</translation>
    </message>
    <message id="dw_psettings_edit_presets">
        <source> Edit presets…</source>
        <translation> Правка предустановок…</translation>
    </message>
    <message id="dw_psettings_edit_user_settings">
        <source> Edit user settings</source>
        <translation> Правка настроек пользователя</translation>
    </message>
    <message id="dw_psettings_external_att">
        <source>External
Attenuator</source>
        <translation>Внешнее
затухание</translation>
    </message>
    <message id="dw_psettings_language">
        <source>Language:</source>
        <translation>Язык:</translation>
    </message>
    <message id="dw_psettings_output_power_high">
        <source>High</source>
        <translation>Высокая</translation>
    </message>
    <message id="dw_psettings_output_power_low">
        <source>Low</source>
        <translation>Низкая</translation>
    </message>
    <message id="dw_psettings_select_scan_preset">
        <source>Range preset:</source>
        <translation>Пресет диапазона:</translation>
    </message>
    <message id="dw_psettings_select_source_power">
        <source>Source power:</source>
        <translation>Мощность источника:</translation>
    </message>
    <message id="dw_psettings_use_calib">
        <source>Use calibration</source>
        <translation>Применять калибровку</translation>
    </message>
    <message id="dw_psettings_warning_edit_user_settings_text">
        <source>You'll have to restart this application in order to apply changes. Would you like to continue?</source>
        <translation>Изменения вступят в силу после перезапуска программы. Продолжить?</translation>
    </message>
    <message id="dw_psettings_warning_edit_user_settings_title">
        <source>Edit user settings notification</source>
        <translation>Правка настроек пользователя</translation>
    </message>
    <message id="dw_pupdate_actual_version">
        <source>Actual
version:</source>
        <translation>Актуальная
версия:</translation>
    </message>
    <message id="dw_pupdate_btn_check">
        <source>Check for updates</source>
        <translation>Проверить обновления</translation>
    </message>
    <message id="dw_pupdate_btn_update">
        <source>Update firmware</source>
        <translation>Обновить прошивку</translation>
    </message>
    <message id="dw_pupdate_check_failed_title">
        <source>Checking for updates failed</source>
        <translation>Не удалось проверить обновления</translation>
    </message>
    <message id="dw_pupdate_confirm_flash_text">
        <source>The device waits in its update mode (firmware %1); firmware %2 is available.

Install it now? The device restarts with the new firmware once it has received it. Keep the device plugged in.</source>
        <translation>Устройство ожидает в режиме обновления (прошивка %1); доступна прошивка %2.

Установить её сейчас? После приёма новой прошивки устройство перезапустится с ней. Не отключайте устройство.</translation>
    </message>
    <message id="dw_pupdate_confirm_reboot_text">
        <source>The device runs firmware %1; firmware %2 is available.

Update now? The device restarts into its update mode, receives the new firmware and restarts with it. Measurement stops until then; keep the device plugged in.</source>
        <translation>На устройстве прошивка %1; доступна прошивка %2.

Обновить сейчас? Устройство перезапустится в режим обновления, примет новую прошивку и перезапустится с ней. До тех пор измерение остановлено; не отключайте устройство.</translation>
    </message>
    <message id="dw_pupdate_current_version">
        <source>Current
version:</source>
        <translation>Текущая
версия:</translation>
    </message>
    <message id="dw_pupdate_files_lost_text">
        <source>The update server has no firmware for this device. Please contact support.</source>
        <translation>На сервере обновлений нет прошивки для этого устройства. Обратитесь в службу поддержки.</translation>
    </message>
    <message id="dw_pupdate_firmware_not_started_text">
        <source>The device restarted in its update mode: the new firmware did not start. Please check for updates again to finish the update.</source>
        <translation>Устройство перезапустилось в режиме обновления: новая прошивка не запустилась. Проверьте обновления снова, чтобы завершить обновление.</translation>
    </message>
    <message id="dw_pupdate_id">
        <source>ID: </source>
        <translation>ID: </translation>
    </message>
    <message id="dw_pupdate_new_update_title">
        <source>New firmware version is available</source>
        <translation>Доступна новая версия прошивки</translation>
    </message>
    <message id="dw_pupdate_no_update_text">
        <source>You have the latest firmware version installed.</source>
        <translation>Установлена последняя версия прошивки.</translation>
    </message>
    <message id="dw_pupdate_no_update_title">
        <source>Firmware is up-to-date</source>
        <translation>Прошивка актуальна</translation>
    </message>
    <message id="dw_pupdate_reboot_app_title">
        <source>Finished updating firmware</source>
        <translation>Обновление прошивки завершено</translation>
    </message>
    <message id="dw_pupdate_server_error_text">
        <source>The update server could not answer the request (error %1). Please try again later or contact support.</source>
        <translation>Сервер обновлений не смог ответить на запрос (ошибка %1). Повторите попытку позже или обратитесь в службу поддержки.</translation>
    </message>
    <message id="dw_pupdate_server_unreachable_text">
        <source>The update server could not be reached. Please check the internet connection and try again.</source>
        <translation>Не удалось связаться с сервером обновлений. Проверьте подключение к интернету и повторите попытку.</translation>
    </message>
    <message id="dw_pupdate_stage_download">
        <source>Downloading firmware %1..</source>
        <translation>Загрузка прошивки %1..</translation>
    </message>
    <message id="dw_pupdate_stage_reboot">
        <source>Restarting the device into its update mode..</source>
        <translation>Перезапуск устройства в режим обновления..</translation>
    </message>
    <message id="dw_pupdate_stage_start">
        <source>Waiting for the device to start firmware %1..</source>
        <translation>Ожидание запуска прошивки %1 на устройстве..</translation>
    </message>
    <message id="dw_pupdate_update_done_text">
        <source>The device now runs firmware %1.</source>
        <translation>Теперь на устройстве прошивка %1.</translation>
    </message>
    <message id="dw_pupdate_update_failed_text">
        <source>Update process was interrupted. Please, check USB connector and try again.</source>
        <translation>Обновление прервано. Проверьте USB-кабель и повторите попытку.</translation>
    </message>
    <message id="dw_pupdate_update_failed_title">
        <source>Firmware update failed</source>
        <translation>Ошибка обновления прошивки</translation>
    </message>
    <message id="dw_pupdate_update_stalled_text">
        <source>The device did not go on with the update. Please check the USB connection; if the device stays in its update mode, check for updates again to finish the update.</source>
        <translation>Устройство не продолжило обновление. Проверьте USB-подключение; если устройство остаётся в режиме обновления, проверьте обновления снова, чтобы завершить обновление.</translation>
    </message>
    <message id="dw_pupdate_updating">
        <source>Updating..</source>
        <translation>Обновление..</translation>
    </message>
    <message id="dw_readout_band">
        <source>M%1..M%2: min %3  max %4 %7
flatness %5 dB  mean %6 %7</source>
        <translation>M%1..M%2: мин %3  макс %4 %7
неравн. %5 дБ  средн. %6 %7</translation>
    </message>
    <message id="dw_readout_band_clear">
        <source>Clear the band readout</source>
        <translation>Убрать измерение полосы</translation>
    </message>
    <message id="dw_readout_bandwidth">
        <source>-%1 dB bandwidth: %2 MHz (%3 .. %4 MHz)</source>
        <translation>Полоса по -%1 дБ: %2 МГц (%3 .. %4 МГц)</translation>
    </message>
    <message id="dw_readout_bandwidth_none">
        <source>-%1 dB bandwidth: the trace does not fall that far on both sides</source>
        <translation>Полоса по -%1 дБ: график не спадает так глубоко с обеих сторон</translation>
    </message>
    <message id="dw_readout_bandwidth_toggle">
        <source>Bandwidth around the peak</source>
        <translation>Полоса пропускания вокруг максимума</translation>
    </message>
    <message id="dw_readout_delta">
        <source>M%1-M1: %2 MHz  %3 dB</source>
        <translation>M%1-M1: %2 МГц  %3 дБ</translation>
    </message>
    <message id="dw_readout_delta_toggle">
        <source>Delta readout against M1</source>
        <translation>Разность относительно M1</translation>
    </message>
    <message id="dw_readout_drop">
        <source>Bandwidth drop</source>
        <translation>Уровень спада для полосы</translation>
    </message>
    <message id="dw_readout_drop_value">
        <source>-%1 dB</source>
        <translation>-%1 дБ</translation>
    </message>
    <message id="dw_readout_panel_tip">
        <source>Mark readouts of the last complete sweep; right-click the chart to choose them</source>
        <translation>Измерения по маркерам за последний полный проход; выбор по правому щелчку на графике</translation>
    </message>
    <message id="dw_scale_db_per_div">
        <source>dB per division</source>
        <translation>дБ на деление</translation>
    </message>
    <message id="dw_scale_db_per_div_tip">
        <source>Any step, not only 1-2-5; the axis keeps its number of divisions</source>
        <translation>Любой шаг, не только 1-2-5; число делений оси не меняется</translation>
    </message>
    <message id="dw_scale_dialog_title">
        <source>Chart scale</source>
        <translation>Масштаб графика</translation>
    </message>
    <message id="dw_scale_drop">
        <source>Bandwidth drop</source>
        <translation>Спад для полосы</translation>
    </message>
    <message id="dw_scale_drop_tip">
        <source>How far below the peak the bandwidth readout finds the band edges</source>
        <translation>На сколько ниже пика отсчёт полосы ищет её края</translation>
    </message>
    <message id="dw_scale_reference">
        <source>Reference level (top)</source>
        <translation>Опорный уровень (верх)</translation>
    </message>
    <message id="dw_scale_reference_tip">
        <source>The level at the top of the level axis</source>
        <translation>Уровень у верхнего края оси уровня</translation>
    </message>
    <message id="dw_tr_language">
        <source>English</source>
        <translation>Русский</translation>
    </message>
    <message id="dw_trace_bootloader">
        <source>Device in its bootloader</source>
        <translation>Устройство в загрузчике</translation>
    </message>
    <message id="dw_trace_bootloader_hint">
        <source>Finish the firmware update on the Device page; the traces shown are not live</source>
        <translation>Завершите обновление прошивки на странице «Устройство»; показанные графики не обновляются</translation>
    </message>
    <message id="dw_trace_calibrating">
        <source>Calibrating</source>
        <translation>Калибровка</translation>
    </message>
    <message id="dw_trace_connecting">
        <source>Connecting to the device..</source>
        <translation>Подключение к устройству..</translation>
    </message>
    <message id="dw_trace_disconnected">
        <source>Disconnected</source>
        <translation>Отключено</translation>
    </message>
    <message id="dw_trace_not_live">
        <source>The traces shown are not live</source>
        <translation>Показанные графики не обновляются</translation>
    </message>
    <message id="dw_trace_paused">
        <source>Paused</source>
        <translation>Пауза</translation>
    </message>
    <message id="dw_trace_reconnecting">
        <source>Device lost: reconnecting..</source>
        <translation>Связь потеряна: переподключение..</translation>
    </message>
    <message id="dw_trace_updating">
        <source>Updating the firmware..</source>
        <translation>Обновление прошивки..</translation>
    </message>
    <message id="dw_units_db">
        <source>dB</source>
        <translation>дБ</translation>
    </message>
    <message id="dw_units_dbm">
        <source>dBm</source>
        <translation>дБм</translation>
    </message>
    <message id="dw_units_mhz">
        <source>MHz</source>
        <translation>МГц</translation>
    </message>
    <message id="dw_view_autoscale">
        <source>Autoscale</source>
        <translation>Автомасштаб</translation>
    </message>
    <message id="dw_view_autoscale_tip">
        <source>Fit the level axis to the trace shown now, in 1-2-5 dB per division</source>
        <translation>Подобрать шкалу уровня под текущую кривую (1-2-5 дБ на деление)</translation>
    </message>
    <message id="dw_view_clear_reference">
        <source>Clear reference</source>
        <translation>Удалить опорную</translation>
    </message>
    <message id="dw_view_clear_reference_tip">
        <source>Forget the reference of this view for this device and preset</source>
        <translation>Удалить опорную кривую этого вида для этого устройства и пресета</translation>
    </message>
    <message id="dw_view_coarser_scale">
        <source>More dB per division</source>
        <translation>Больше дБ на деление</translation>
    </message>
    <message id="dw_view_coarser_scale_tip">
        <source>Zoom out on the level: the next larger 1-2-5 step</source>
        <translation>Уменьшить по уровню: следующий больший шаг 1-2-5</translation>
    </message>
    <message id="dw_view_copy_picture">
        <source>Copy picture of this view</source>
        <translation>Копировать снимок графика</translation>
    </message>
    <message id="dw_view_copy_picture_tip">
        <source>Put a picture of this view, marker readouts included, on the clipboard</source>
        <translation>Поместить снимок этого графика вместе с показаниями маркеров в буфер обмена</translation>
    </message>
    <message id="dw_view_difference">
        <source>Show difference from reference</source>
        <translation>Разность с опорной</translation>
    </message>
    <message id="dw_view_difference_tip">
        <source>Draw the live trace minus the reference in dB, centred on 0</source>
        <translation>Показывать текущую кривую минус опорную в дБ, с нулём посередине</translation>
    </message>
    <message id="dw_view_export">
        <source>Export…</source>
        <translation>Экспорт…</translation>
    </message>
    <message id="dw_view_export_tip">
        <source>Save both channels&apos; traces as a CSV or Touchstone file, or this view as a PNG picture</source>
        <translation>Сохранить кривые обоих каналов в файл CSV или Touchstone либо этот график в PNG</translation>
    </message>
    <message id="dw_view_finer_scale">
        <source>Fewer dB per division</source>
        <translation>Меньше дБ на деление</translation>
    </message>
    <message id="dw_view_finer_scale_tip">
        <source>Zoom in on the level: the next smaller 1-2-5 step; Shift or Ctrl with the mouse wheel does the same</source>
        <translation>Увеличить по уровню: следующий меньший шаг 1-2-5; то же колесо мыши с Shift или Ctrl</translation>
    </message>
    <message id="dw_view_level_down">
        <source>Reference level down</source>
        <translation>Опорный уровень ниже</translation>
    </message>
    <message id="dw_view_level_down_tip">
        <source>Lower the top of the level axis by one division</source>
        <translation>Опустить верх шкалы уровня на одно деление</translation>
    </message>
    <message id="dw_view_level_up">
        <source>Reference level up</source>
        <translation>Опорный уровень выше</translation>
    </message>
    <message id="dw_view_level_up_tip">
        <source>Raise the top of the level axis by one division</source>
        <translation>Поднять верх шкалы уровня на одно деление</translation>
    </message>
    <message id="dw_view_load_reference">
        <source>Load reference from file…</source>
        <translation>Загрузить опорную из файла…</translation>
    </message>
    <message id="dw_view_load_reference_refused">
        <source>The file was not taken as a reference:
%1</source>
        <translation>Файл не принят как опорная кривая:
%1</translation>
    </message>
    <message id="dw_view_load_reference_tip">
        <source>Take a trace exported earlier (CSV or Touchstone) as this view&apos;s reference</source>
        <translation>Взять ранее экспортированную кривую (CSV или Touchstone) как опорную для этого графика</translation>
    </message>
    <message id="dw_view_load_reference_title">
        <source>Load reference</source>
        <translation>Загрузка опорной</translation>
    </message>
    <message id="dw_view_max_hold">
        <source>Max hold</source>
        <translation>Удержание максимума</translation>
    </message>
    <message id="dw_view_max_hold_tip">
        <source>Draw the highest level measured at each point since the last reset</source>
        <translation>Показывать наибольший уровень в каждой точке с последнего сброса</translation>
    </message>
    <message id="dw_view_min_hold">
        <source>Min hold</source>
        <translation>Удержание минимума</translation>
    </message>
    <message id="dw_view_min_hold_tip">
        <source>Draw the lowest level measured at each point since the last reset</source>
        <translation>Показывать наименьший уровень в каждой точке с последнего сброса</translation>
    </message>
    <message id="dw_view_reset_holds">
        <source>Reset holds</source>
        <translation>Сбросить удержание</translation>
    </message>
    <message id="dw_view_reset_holds_tip">
        <source>Start the max and min holds over from the next sweep</source>
        <translation>Начать удержание максимума и минимума заново</translation>
    </message>
    <message id="dw_view_reset_scale">
        <source>Reset scale and zoom</source>
        <translation>Сбросить масштаб</translation>
    </message>
    <message id="dw_view_reset_scale_tip">
        <source>Back to the designed level range and the preset's whole frequency range; the mouse wheel zooms on frequency</source>
        <translation>Вернуть исходную шкалу уровня и весь диапазон частот пресета; колесо мыши масштабирует частоту</translation>
    </message>
    <message id="dw_view_store_reference">
        <source>Store reference</source>
        <translation>Запомнить опорную</translation>
    </message>
    <message id="dw_view_store_reference_tip">
        <source>Keep the last complete sweep as this view's reference, drawn as a dimmer line; kept for this device and preset</source>
        <translation>Сохранить последний полный проход как опорную кривую (бледная линия); хранится для этого устройства и пресета</translation>
    </message>
    <message id="dw_view_type_scale">
        <source>Type scale and drop...</source>
        <translation>Ввести масштаб и спад...</translation>
    </message>
    <message id="dw_view_type_scale_tip">
        <source>Type the reference level, dB per division and the bandwidth drop</source>
        <translation>Ввести опорный уровень, дБ на деление и спад для полосы</translation>
    </message>
    <message id="dw_window_title">
        <source>Oskiro MERO</source>
        <translation>Oskiro MERO</translation>
    </message>
    <message id="dw_window_title_ver">
        <source>%1 ver. %2</source>
        <translation>%1 вер. %2</translation>
    </message>
    <message id="util_failed_to_create">
        <source>failed to create dir [ %1 ] at: %2</source>
        <translation>не удалось создать папку [ %1 ]: %2</translation>
    </message>
</context>
</TS>
