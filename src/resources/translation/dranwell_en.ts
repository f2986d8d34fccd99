<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="devcon_err_cant_write_settings">
        <source>settings cannot be written</source>
        <translation>settings cannot be written</translation>
    </message>
    <message id="devcon_sp_btn_apply">
        <source> Apply</source>
        <translation> Apply</translation>
    </message>
    <message id="devcon_sp_btn_disconnect">
        <source> Disconnect</source>
        <translation> Disconnect</translation>
    </message>
    <message id="devcon_sp_btn_refresh">
        <source> Refresh</source>
        <translation> Refresh</translation>
    </message>
    <message id="devcon_sp_description">
        <source>Description:</source>
        <translation>Description:</translation>
    </message>
    <message id="devcon_sp_in_use">
        <source>Connected to:</source>
        <translation>Connected to:</translation>
    </message>
    <message id="devcon_sp_list_all">
        <source>All ports</source>
        <translation>All ports</translation>
    </message>
    <message id="devcon_sp_list_all_tip">
        <source>List every serial port, not only those of the MERO, e.g. a USB serial adapter of another maker</source>
        <translation>List every serial port, not only those of the MERO, e.g. a USB serial adapter of another maker</translation>
    </message>
    <message id="devcon_sp_location">
        <source>Location:</source>
        <translation>Location:</translation>
    </message>
    <message id="devcon_sp_manufacturer">
        <source>Manufacturer:</source>
        <translation>Manufacturer:</translation>
    </message>
    <message id="devcon_sp_no_ports">
        <source>No MERO found. Connect it with a USB data cable and switch it on; it is listed here within a second.</source>
        <translation>No MERO found. Connect it with a USB data cable and switch it on; it is listed here within a second.</translation>
    </message>
    <message id="devcon_sp_no_ports_linux">
        <source>On Linux your user account must also be in the dialout group: sudo usermod -aG dialout $USER, then log in again.</source>
        <translation>On Linux your user account must also be in the dialout group: sudo usermod -aG dialout $USER, then log in again.</translation>
    </message>
    <message id="devcon_sp_port_placeholder">
        <source>Type a port, e.g. ttyUSB0</source>
        <translation>Type a port, e.g. ttyUSB0</translation>
    </message>
    <message id="devcon_sp_port_tip">
        <source>Pick a listed port or type any other: a path such as /dev/ttyUSB0 or /tmp/ttyMERO0, or a name such as ttyACM0</source>
        <translation>Pick a listed port or type any other: a path such as /dev/ttyUSB0 or /tmp/ttyMERO0, or a name such as ttyACM0</translation>
    </message>
    <message id="devcon_sp_serial_number">
        <source>Serial number:</source>
        <translation>Serial number:</translation>
    </message>
    <message id="devcon_sp_window_title">
        <source>Select serial port..</source>
        <translation>Select serial port..</translation>
    </message>
    <message id="dw_axis_title_difference">
        <source>Δ%1</source>
        <translation>Δ%1</translation>
    </message>
    <message id="dw_axis_title_frequency">
        <source>Frequency</source>
        <translation>Frequency</translation>
    </message>
    <message id="dw_chart_type_log_mag">
        <source>Log. mag.</source>
        <translation>Log. mag.</translation>
    </message>
    <message id="dw_err_autoreconnect_failed">
        <source>couldn't auto-reconnect to device. Please, connect it manually later.</source>
        <translation>couldn't auto-reconnect to device. Please, connect it manually later.</translation>
    </message>
    <message id="dw_err_calib_cant_create_calib_table">
        <source>failed to create calib table at: </source>
        <translation>failed to create calib table at: </translation>
    </message>
    <message id="dw_err_calib_cant_create_device_dir">
        <source>failed to create dir used to store calibration files for this device at: </source>
        <translation>failed to create dir used to store calibration files for this device at: </translation>
    </message>
    <message id="dw_err_calib_cant_create_dirs">
        <source>failed to create dir used to store calibration files at: </source>
        <translation>failed to create dir used to store calibration files at: </translation>
    </message>
    <message id="dw_err_calib_cant_create_file">
        <source>failed to create calib file at: </source>
        <translation>failed to create calib file at: </translation>
    </message>
    <message id="dw_err_calib_cant_create_table_file">
        <source>failed to load calib table file at: </source>
        <translation>failed to load calib table file at: </translation>
    </message>
    <message id="dw_err_calib_no_dir">
        <source>failed to find dir used to store calibration files at: </source>
        <translation>failed to find dir used to store calibration files at: </translation>
    </message>
    <message id="dw_err_calib_zero_reference">
        <source>Calibration failed, the previous calibration is kept. Check the cables and the device, then calibrate again. The device measured a zero reference, which nothing can be divided by, at: </source>
        <translation>Calibration failed, the previous calibration is kept. Check the cables and the device, then calibrate again. The device measured a zero reference, which nothing can be divided by, at: </translation>
    </message>
    <message id="dw_err_cant_request_edit_user_settings">
        <source>Can't request to edit user settings from OS.</source>
        <translation>Can't request to edit user settings from OS.</translation>
    </message>
    <message id="dw_err_cant_write_settings">
        <source>settings cannot be written</source>
        <translation>settings cannot be written</translation>
    </message>
    <message id="dw_err_chart_type_bad">
        <source>chart type must be set</source>
        <translation>chart type must be set</translation>
    </message>
    <message id="dw_err_connected_not_mero_device">
        <source>only MERO-devices work with this software, but current device is: </source>
        <translation>only MERO-devices work with this software, but current device is: </translation>
    </message>
    <message id="dw_err_failed_manager_init">
        <source>failed to init: </source>
        <translation>failed to init: </translation>
    </message>
    <message id="dw_err_got_old_device_text">
        <source>Your device's firmware version isn't considered compatible with this software. Please, update your device</source>
        <translation>Your device's firmware version isn't considered compatible with this software. Please, update your device</translation>
    </message>
    <message id="dw_err_got_old_device_title">
        <source>Warning: update is required</source>
        <translation>Warning: update is required</translation>
    </message>
    <message id="dw_err_last_calib_cant_open">
        <source>failed to load last used calibration for this device from path: </source>
        <translation>failed to load last used calibration for this device from path: </translation>
    </message>
    <message id="dw_err_last_calib_lost">
        <source>last used calibration for this device is missing.</source>
        <translation>last used calibration for this device is missing.</translation>
    </message>
    <message id="dw_err_logger_cant_create_dirs">
        <source>failed to create dir used to store logs at: </source>
        <translation>failed to create dir used to store logs at: </translation>
    </message>
    <message id="dw_err_logger_cant_create_file">
        <source>failed to create log file at: </source>
        <translation>failed to create log file at: </translation>
    </message>
    <message id="dw_err_settings_cant_create_default">
        <source>default settings file cannot be generated at: </source>
        <translation>default settings file cannot be generated at: </translation>
    </message>
    <message id="dw_err_settings_cant_create_dirs">
        <source>failed to create dirs used to save profiles at: </source>
        <translation>failed to create dirs used to save profiles at: </translation>
    </message>
    <message id="dw_err_settings_cant_create_files">
        <source>failed to create files used to work with user profiles</source>
        <translation>failed to create files used to work with user profiles</translation>
    </message>
    <message id="dw_err_settings_cant_create_user">
        <source>user settings file cannot be generated at: </source>
        <translation>user settings file cannot be generated at: </translation>
    </message>
    <message id="dw_err_settings_cant_rewrite_current">
        <source>you were trying to rewrite 'current' preset, which is forbidden. Please, try again and choose different name of the file</source>
        <translation>you were trying to rewrite 'current' preset, which is forbidden. Please, try again and choose different name of the file</translation>
    </message>
    <message id="dw_err_settings_cant_rewrite_default">
        <source>you were trying to rewrite 'default' preset, which is forbidden. Please, try again and choose different name of the file</source>
        <translation>you were trying to rewrite 'default' preset, which is forbidden. Please, try again and choose different name of the file</translation>
    </message>
    <message id="dw_err_settings_cant_rewrite_user">
        <source>you were trying to rewrite 'user' preset, which is forbidden. Please, try again and choose different name of the file</source>
        <translation>you were trying to rewrite 'user' preset, which is forbidden. Please, try again and choose different name of the file</translation>
    </message>
    <message id="dw_err_settings_custom_files_not_allowed">
        <source>you cannot set profile to use some custom file for writing: </source>
        <translation>you cannot set profile to use some custom file for writing: </translation>
    </message>
    <message id="dw_err_tr_files_lost">
        <source>translation files cannot be found</source>
        <translation>translation files cannot be found</translation>
    </message>
    <message id="dw_err_update_files_lost">
        <source>update files are lost for this device. Please, contact support.</source>
        <translation>update files are lost for this device. Please, contact support.</translation>
    </message>
    <message id="dw_export">
        <source>Export…</source>
        <translation>Export…</translation>
    </message>
    <message id="dw_export_copy_window">
        <source>Copy picture of the window</source>
        <translation>Copy picture of the window</translation>
    </message>
    <message id="dw_export_failed">
        <source>The file was not written:
%1</source>
        <translation>The file was not written:
%1</translation>
    </message>
    <message id="dw_export_filter_csv">
        <source>Trace table (*.csv)</source>
        <translation>Trace table (*.csv)</translation>
    </message>
    <message id="dw_export_filter_png">
        <source>Picture (*.png)</source>
        <translation>Picture (*.png)</translation>
    </message>
    <message id="dw_export_filter_touchstone">
        <source>Touchstone (*.s2p)</source>
        <translation>Touchstone (*.s2p)</translation>
    </message>
    <message id="dw_export_filter_traces">
        <source>Exported traces (*.csv *.s2p)</source>
        <translation>Exported traces (*.csv *.s2p)</translation>
    </message>
    <message id="dw_export_replace">
        <source>%1
already exists. Replace it?</source>
        <translation>%1
already exists. Replace it?</translation>
    </message>
    <message id="dw_export_title">
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message id="dw_limit_badge_fail">
        <source>FAIL</source>
        <translation>FAIL</translation>
    </message>
    <message id="dw_limit_badge_pass">
        <source>PASS</source>
        <translation>PASS</translation>
    </message>
    <message id="dw_limit_badge_tip">
        <source>Limit mask of the last complete sweep: %1 of %2 points outside the bounds (highlighted on the trace)</source>
        <translation>Limit mask of the last complete sweep: %1 of %2 points outside the bounds (highlighted on the trace)</translation>
    </message>
    <message id="dw_mark_back_to_preset">
        <source>Marks back to the preset</source>
        <translation>Marks back to the preset</translation>
    </message>
    <message id="dw_mark_back_to_preset_tip">
        <source>Forget the marks placed or moved by hand, their search modes and the readouts: the preset&apos;s marks again</source>
        <translation>Forget the marks placed or moved by hand, their search modes and the readouts: the preset&apos;s marks again</translation>
    </message>
    <message id="dw_mark_band_tip">
        <source>Minimum, maximum, flatness and mean level of the trace between two marks</source>
        <translation>Minimum, maximum, flatness and mean level of the trace between two marks</translation>
    </message>
    <message id="dw_mark_band_to">
        <source>Band readout from M%1 to</source>
        <translation>Band readout from M%1 to</translation>
    </message>
    <message id="dw_mark_lmag">
        <source>LMg:</source>
        <translation>LMg:</translation>
    </message>
    <message id="dw_mark_mode_fixed">
        <source>M%1: fixed frequency</source>
        <translation>M%1: fixed frequency</translation>
    </message>
    <message id="dw_mark_mode_minimum">
        <source>M%1: minimum search</source>
        <translation>M%1: minimum search</translation>
    </message>
    <message id="dw_mark_mode_peak">
        <source>M%1: peak search</source>
        <translation>M%1: peak search</translation>
    </message>
    <message id="dw_mark_mode_tip">
        <source>Fixed: the mark stays where it is put. Peak or minimum: after every sweep the mark moves to the highest or lowest point of the range, or of the band readout's marks when one is set</source>
        <translation>Fixed: the mark stays where it is put. Peak or minimum: after every sweep the mark moves to the highest or lowest point of the range, or of the band readout's marks when one is set</translation>
    </message>
    <message id="dw_mark_no_data">
        <source>No data.</source>
        <translation>No data.</translation>
    </message>
    <message id="dw_mark_place">
        <source>Place M%1 here (Ctrl+click)</source>
        <translation>Place M%1 here (Ctrl+click)</translation>
    </message>
    <message id="dw_mark_place_none">
        <source>All five marks are placed</source>
        <translation>All five marks are placed</translation>
    </message>
    <message id="dw_mark_place_tip">
        <source>Puts the next unset mark at this frequency; drag a mark with the left mouse button to move it</source>
        <translation>Puts the next unset mark at this frequency; drag a mark with the left mouse button to move it</translation>
    </message>
    <message id="dw_mark_remove">
        <source>Remove M%1</source>
        <translation>Remove M%1</translation>
    </message>
    <message id="dw_mark_type_lmag">
        <source>Log. mag.</source>
        <translation>Log. mag.</translation>
    </message>
    <message id="dw_marks_table_tip">
        <source>Marks: frequency and level. Drag the table away from the trace it hides</source>
        <translation>Marks: frequency and level. Drag the table away from the trace it hides</translation>
    </message>
    <message id="dw_menu_device_connect_tt">
        <source>Open device connection settings</source>
        <translation>Open device connection settings</translation>
    </message>
    <message id="dw_menu_job_idle">
        <source>Idle</source>
        <translation>Idle</translation>
    </message>
    <message id="dw_menu_job_process_calib">
        <source>Calibrating</source>
        <translation>Calibrating</translation>
    </message>
    <message id="dw_menu_job_process_scan">
        <source>Scanning</source>
        <translation>Scanning</translation>
    </message>
    <message id="dw_menu_scan_pause_tt">
        <source>Toggle scan/pause</source>
        <translation>Toggle scan/pause</translation>
    </message>
    <message id="dw_menu_show_tt">
        <source>Toggle show/hide menu</source>
        <translation>Toggle show/hide menu</translation>
    </message>
    <message id="dw_menu_title">
        <source>Oskiro MERO</source>
        <translation>Oskiro MERO</translation>
    </message>
    <message id="dw_pabout_about_qt">
        <source>About Qt</source>
        <translation>About Qt</translation>
    </message>
    <message id="dw_pabout_appversion_title">
        <source>App version: </source>
        <translation>App version: </translation>
    </message>
    <message id="dw_pabout_icons_credit">
        <source>Icons and artwork: &lt;a href="https://www.oskiro.example/"&gt;Oskiro design team&lt;/a&gt;</source>
        <translation>Icons and artwork: &lt;a href="https://www.oskiro.example/"&gt;Oskiro design team&lt;/a&gt;</translation>
    </message>
    <message id="dw_pabout_support_title">
        <source>Tech. support: </source>
        <translation>Tech. support: </translation>
    </message>
    <message id="dw_pmain_about">
        <source>About</source>
        <translation>About</translation>
    </message>
    <message id="dw_pmain_export">
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message id="dw_pmain_settings">
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message id="dw_pmain_update_firmware">
        <source>Device</source>
        <translation>Device</translation>
    </message>
    <message id="dw_port_denied_in_use">
        <source>%1 is in use by another program, e.g. a serial terminal, ModemManager or a second Oskiro MERO. Close it and connect again.</source>
        <translation>%1 is in use by another program, e.g. a serial terminal, ModemManager or a second Oskiro MERO. Close it and connect again.</translation>
    </message>
    <message id="dw_port_denied_join_group">
        <source>The port belongs to the group &quot;%1&quot;. Add your account to it, then log out and in again:

sudo usermod -aG %1 $USER</source>
        <translation>The port belongs to the group &quot;%1&quot;. Add your account to it, then log out and in again:

sudo usermod -aG %1 $USER</translation>
    </message>
    <message id="dw_port_denied_no_permission">
        <source>Your user account may not open %1.</source>
        <translation>Your user account may not open %1.</translation>
    </message>
    <message id="dw_port_denied_title">
        <source>No access to the port</source>
        <translation>No access to the port</translation>
    </message>
    <message id="dw_port_denied_udev_rule">
        <source>The udev rule that comes with Oskiro MERO gives the user logged in at the computer access to the MERO&apos;s ports, no group needed: install it as %1 (the Debian package does so), then plug the device in again.</source>
        <translation>The udev rule that comes with Oskiro MERO gives the user logged in at the computer access to the MERO&apos;s ports, no group needed: install it as %1 (the Debian package does so), then plug the device in again.</translation>
    </message>
    <message id="dw_preseteditor_add">
        <source>Add</source>
        <translation>Add</translation>
    </message>
    <message id="dw_preseteditor_add_segment">
        <source>Add segment</source>
        <translation>Add segment</translation>
    </message>
    <message id="dw_preseteditor_apply">
        <source>Apply</source>
        <translation>Apply</translation>
    </message>
    <message id="dw_preseteditor_cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="dw_preseteditor_copy_suffix">
        <source> (copy)</source>
        <translation> (copy)</translation>
    </message>
    <message id="dw_preseteditor_delete">
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message id="dw_preseteditor_duplicate">
        <source>Duplicate</source>
        <translation>Duplicate</translation>
    </message>
    <message id="dw_preseteditor_err_calibrating">
        <source>A calibration is running; change the presets after it has finished.</source>
        <translation>A calibration is running; change the presets after it has finished.</translation>
    </message>
    <message id="dw_preseteditor_err_limit">
        <source>%1, %2: limit segment %3 needs a start below its stop (MHz) and at least one bound in dB, the lower not above the upper.</source>
        <translation>%1, %2: limit segment %3 needs a start below its stop (MHz) and at least one bound in dB, the lower not above the upper.</translation>
    </message>
    <message id="dw_preseteditor_err_mark">
        <source>%1, %2: marker M%3 must be a frequency between start and stop.</source>
        <translation>%1, %2: marker M%3 must be a frequency between start and stop.</translation>
    </message>
    <message id="dw_preseteditor_err_name_empty">
        <source>A preset needs a name.</source>
        <translation>A preset needs a name.</translation>
    </message>
    <message id="dw_preseteditor_err_name_taken">
        <source>The name "%1" is given to more than one preset.</source>
        <translation>The name "%1" is given to more than one preset.</translation>
    </message>
    <message id="dw_preseteditor_err_no_presets">
        <source>At least one preset is needed.</source>
        <translation>At least one preset is needed.</translation>
    </message>
    <message id="dw_preseteditor_err_points">
        <source>%1, %2: the number of points must be a whole number from %3 to %4.</source>
        <translation>%1, %2: the number of points must be a whole number from %3 to %4.</translation>
    </message>
    <message id="dw_preseteditor_err_range">
        <source>%1, %2: start and stop must be frequencies from %3 to %4 MHz, start below stop.</source>
        <translation>%1, %2: start and stop must be frequencies from %3 to %4 MHz, start below stop.</translation>
    </message>
    <message id="dw_preseteditor_err_write">
        <source>The presets could not be written to %1; nothing was changed.</source>
        <translation>The presets could not be written to %1; nothing was changed.</translation>
    </message>
    <message id="dw_preseteditor_limit_lower">
        <source>Lower, dB</source>
        <translation>Lower, dB</translation>
    </message>
    <message id="dw_preseteditor_limit_start">
        <source>Start, MHz</source>
        <translation>Start, MHz</translation>
    </message>
    <message id="dw_preseteditor_limit_stop">
        <source>Stop, MHz</source>
        <translation>Stop, MHz</translation>
    </message>
    <message id="dw_preseteditor_limit_upper">
        <source>Upper, dB</source>
        <translation>Upper, dB</translation>
    </message>
    <message id="dw_preseteditor_limits">
        <source>Limit mask:</source>
        <translation>Limit mask:</translation>
    </message>
    <message id="dw_preseteditor_marks">
        <source>Markers M1–M5, MHz (empty: none):</source>
        <translation>Markers M1–M5, MHz (empty: none):</translation>
    </message>
    <message id="dw_preseteditor_name">
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message id="dw_preseteditor_new_name">
        <source>New preset</source>
        <translation>New preset</translation>
    </message>
    <message id="dw_preseteditor_ok">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="dw_preseteditor_points">
        <source>Points:</source>
        <translation>Points:</translation>
    </message>
    <message id="dw_preseteditor_recalibrate_text">
        <source>The frequency ranges of the presets have changed. The stored calibration no longer fits them and will not be loaded: calibrate the presets again before using calibration.</source>
        <translation>The frequency ranges of the presets have changed. The stored calibration no longer fits them and will not be loaded: calibrate the presets again before using calibration.</translation>
    </message>
    <message id="dw_preseteditor_recalibrate_title">
        <source>Calibration needed</source>
        <translation>Calibration needed</translation>
    </message>
    <message id="dw_preseteditor_remove_segment">
        <source>Remove segment</source>
        <translation>Remove segment</translation>
    </message>
    <message id="dw_preseteditor_start">
        <source>Start, MHz:</source>
        <translation>Start, MHz:</translation>
    </message>
    <message id="dw_preseteditor_stop">
        <source>Stop, MHz:</source>
        <translation>Stop, MHz:</translation>
    </message>
    <message id="dw_preseteditor_title">
        <source>Range presets</source>
        <translation>Range presets</translation>
    </message>
    <message id="dw_psettings_calibrate">
        <source>Calibrate</source>
        <translation>Calibrate</translation>
    </message>
    <message id="dw_psettings_edit_presets">
        <source> Edit presets…</source>
        <translation> Edit presets…</translation>
    </message>
    <message id="dw_psettings_edit_user_settings">
        <source> Edit user settings</source>
        <translation> Edit user settings</translation>
    </message>
    <message id="dw_psettings_external_att">
        <source>External
Attenuator</source>
        <translation>External
Attenuator</translation>
    </message>
    <message id="dw_psettings_language">
        <source>Language:</source>
        <translation>Language:</translation>
    </message>
    <message id="dw_psettings_output_power_high">
        <source>High</source>
        <translation>High</translation>
    </message>
    <message id="dw_psettings_output_power_low">
        <source>Low</source>
        <translation>Low</translation>
    </message>
    <message id="dw_psettings_select_scan_preset">
        <source>Range preset:</source>
        <translation>Range preset:</translation>
    </message>
    <message id="dw_psettings_select_source_power">
        <source>Source power:</source>
        <translation>Source power:</translation>
    </message>
    <message id="dw_psettings_use_calib">
        <source>Use calibration</source>
        <translation>Use calibration</translation>
    </message>
    <message id="dw_psettings_warning_edit_user_settings_text">
        <source>You'll have to restart this application in order to apply changes. Would you like to continue?</source>
        <translation>You'll have to restart this application in order to apply changes. Would you like to continue?</translation>
    </message>
    <message id="dw_psettings_warning_edit_user_settings_title">
        <source>Edit user settings notification</source>
        <translation>Edit user settings notification</translation>
    </message>
    <message id="dw_pupdate_actual_version">
        <source>Actual
version:</source>
        <translation>Actual
version:</translation>
    </message>
    <message id="dw_pupdate_btn_check">
        <source>Check for updates</source>
        <translation>Check for updates</translation>
    </message>
    <message id="dw_pupdate_btn_update">
        <source>Update firmware</source>
        <translation>Update firmware</translation>
    </message>
    <message id="dw_pupdate_check_failed_title">
        <source>Checking for updates failed</source>
        <translation>Checking for updates failed</translation>
    </message>
    <message id="dw_pupdate_confirm_flash_text">
        <source>The device waits in its update mode (firmware %1); firmware %2 is available.

Install it now? The device restarts with the new firmware once it has received it. Keep the device plugged in.</source>
        <translation>The device waits in its update mode (firmware %1); firmware %2 is available.

Install it now? The device restarts with the new firmware once it has received it. Keep the device plugged in.</translation>
    </message>
    <message id="dw_pupdate_confirm_reboot_text">
        <source>The device runs firmware %1; firmware %2 is available.

Update now? The device restarts into its update mode, receives the new firmware and restarts with it. Measurement stops until then; keep the device plugged in.</source>
        <translation>The device runs firmware %1; firmware %2 is available.

Update now? The device restarts into its update mode, receives the new firmware and restarts with it. Measurement stops until then; keep the device plugged in.</translation>
    </message>
    <message id="dw_pupdate_current_version">
        <source>Current
version:</source>
        <translation>Current
version:</translation>
    </message>
    <message id="dw_pupdate_files_lost_text">
        <source>The update server has no firmware for this device. Please contact support.</source>
        <translation>The update server has no firmware for this device. Please contact support.</translation>
    </message>
    <message id="dw_pupdate_firmware_not_started_text">
        <source>The device restarted in its update mode: the new firmware did not start. Please check for updates again to finish the update.</source>
        <translation>The device restarted in its update mode: the new firmware did not start. Please check for updates again to finish the update.</translation>
    </message>
    <message id="dw_pupdate_id">
        <source>ID: </source>
        <translation>ID: </translation>
    </message>
    <message id="dw_pupdate_new_update_title">
        <source>New firmware version is available</source>
        <translation>New firmware version is available</translation>
    </message>
    <message id="dw_pupdate_no_update_text">
        <source>You have the latest firmware version installed.</source>
        <translation>You have the latest firmware version installed.</translation>
    </message>
    <message id="dw_pupdate_no_update_title">
        <source>Firmware is up-to-date</source>
        <translation>Firmware is up-to-date</translation>
    </message>
    <message id="dw_pupdate_reboot_app_title">
        <source>Finished updating firmware</source>
        <translation>Finished updating firmware</translation>
    </message>
    <message id="dw_pupdate_server_error_text">
        <source>The update server could not answer the request (error %1). Please try again later or contact support.</source>
        <translation>The update server could not answer the request (error %1). Please try again later or contact support.</translation>
    </message>
    <message id="dw_pupdate_server_unreachable_text">
        <source>The update server could not be reached. Please check the internet connection and try again.</source>
        <translation>The update server could not be reached. Please check the internet connection and try again.</translation>
    </message>
    <message id="dw_pupdate_stage_download">
        <source>Downloading firmware %1..</source>
        <translation>Downloading firmware %1..</translation>
    </message>
    <message id="dw_pupdate_stage_reboot">
        <source>Restarting the device into its update mode..</source>
        <translation>Restarting the device into its update mode..</translation>
    </message>
    <message id="dw_pupdate_stage_start">
        <source>Waiting for the device to start firmware %1..</source>
        <translation>Waiting for the device to start firmware %1..</translation>
    </message>
    <message id="dw_pupdate_update_done_text">
        <source>The device now runs firmware %1.</source>
        <translation>The device now runs firmware %1.</translation>
    </message>
    <message id="dw_pupdate_update_failed_text">
        <source>Update process was interrupted. Please, check USB connector and try again.</source>
        <translation>Update process was interrupted. Please, check USB connector and try again.</translation>
    </message>
    <message id="dw_pupdate_update_failed_title">
        <source>Firmware update failed</source>
        <translation>Firmware update failed</translation>
    </message>
    <message id="dw_pupdate_update_stalled_text">
        <source>The device did not go on with the update. Please check the USB connection; if the device stays in its update mode, check for updates again to finish the update.</source>
        <translation>The device did not go on with the update. Please check the USB connection; if the device stays in its update mode, check for updates again to finish the update.</translation>
    </message>
    <message id="dw_pupdate_updating">
        <source>Updating..</source>
        <translation>Updating..</translation>
    </message>
    <message id="dw_readout_band">
        <source>M%1..M%2: min %3  max %4 %7
flatness %5 dB  mean %6 %7</source>
        <translation>M%1..M%2: min %3  max %4 %7
flatness %5 dB  mean %6 %7</translation>
    </message>
    <message id="dw_readout_band_clear">
        <source>Clear the band readout</source>
        <translation>Clear the band readout</translation>
    </message>
    <message id="dw_readout_bandwidth">
        <source>-%1 dB bandwidth: %2 MHz (%3 .. %4 MHz)</source>
        <translation>-%1 dB bandwidth: %2 MHz (%3 .. %4 MHz)</translation>
    </message>
    <message id="dw_readout_bandwidth_none">
        <source>-%1 dB bandwidth: the trace does not fall that far on both sides</source>
        <translation>-%1 dB bandwidth: the trace does not fall that far on both sides</translation>
    </message>
    <message id="dw_readout_bandwidth_toggle">
        <source>Bandwidth around the peak</source>
        <translation>Bandwidth around the peak</translation>
    </message>
    <message id="dw_readout_delta">
        <source>M%1-M1: %2 MHz  %3 dB</source>
        <translation>M%1-M1: %2 MHz  %3 dB</translation>
    </message>
    <message id="dw_readout_delta_toggle">
        <source>Delta readout against M1</source>
        <translation>Delta readout against M1</translation>
    </message>
    <message id="dw_readout_drop">
        <source>Bandwidth drop</source>
        <translation>Bandwidth drop</translation>
    </message>
    <message id="dw_readout_drop_value">
        <source>-%1 dB</source>
        <translation>-%1 dB</translation>
    </message>
    <message id="dw_readout_panel_tip">
        <source>Mark readouts of the last complete sweep; right-click the chart to choose them</source>
        <translation>Mark readouts of the last complete sweep; right-click the chart to choose them</translation>
    </message>
    <message id="dw_scale_db_per_div">
        <source>dB per division</source>
        <translation>dB per division</translation>
    </message>
    <message id="dw_scale_db_per_div_tip">
        <source>Any step, not only 1-2-5; the axis keeps its number of divisions</source>
        <translation>Any step, not only 1-2-5; the axis keeps its number of divisions</translation>
    </message>
    <message id="dw_scale_dialog_title">
        <source>Chart scale</source>
        <translation>Chart scale</translation>
    </message>
    <message id="dw_scale_drop">
        <source>Bandwidth drop</source>
        <translation>Bandwidth drop</translation>
    </message>
    <message id="dw_scale_drop_tip">
        <source>How far below the peak the bandwidth readout finds the band edges</source>
        <translation>How far below the peak the bandwidth readout finds the band edges</translation>
    </message>
    <message id="dw_scale_reference">
        <source>Reference level (top)</source>
        <translation>Reference level (top)</translation>
    </message>
    <message id="dw_scale_reference_tip">
        <source>The level at the top of the level axis</source>
        <translation>The level at the top of the level axis</translation>
    </message>
    <message id="dw_tr_language">
        <source>English</source>
        <translation>English</translation>
    </message>
    <message id="dw_trace_bootloader">
        <source>Device in its bootloader</source>
        <translation>Device in its bootloader</translation>
    </message>
    <message id="dw_trace_bootloader_hint">
        <source>Finish the firmware update on the Device page; the traces shown are not live</source>
        <translation>Finish the firmware update on the Device page; the traces shown are not live</translation>
    </message>
    <message id="dw_trace_calibrating">
        <source>Calibrating</source>
        <translation>Calibrating</translation>
    </message>
    <message id="dw_trace_connecting">
        <source>Connecting to the device..</source>
        <translation>Connecting to the device..</translation>
    </message>
    <message id="dw_trace_disconnected">
        <source>Disconnected</source>
        <translation>Disconnected</translation>
    </message>
    <message id="dw_trace_not_live">
        <source>The traces shown are not live</source>
        <translation>The traces shown are not live</translation>
    </message>
    <message id="dw_trace_paused">
        <source>Paused</source>
        <translation>Paused</translation>
    </message>
    <message id="dw_trace_reconnecting">
        <source>Device lost: reconnecting..</source>
        <translation>Device lost: reconnecting..</translation>
    </message>
    <message id="dw_trace_updating">
        <source>Updating the firmware..</source>
        <translation>Updating the firmware..</translation>
    </message>
    <message id="dw_units_db">
        <source>dB</source>
        <translation>dB</translation>
    </message>
    <message id="dw_units_dbm">
        <source>dBm</source>
        <translation>dBm</translation>
    </message>
    <message id="dw_units_mhz">
        <source>MHz</source>
        <translation>MHz</translation>
    </message>
    <message id="dw_view_autoscale">
        <source>Autoscale</source>
        <translation>Autoscale</translation>
    </message>
    <message id="dw_view_autoscale_tip">
        <source>Fit the level axis to the trace shown now, in 1-2-5 dB per division</source>
        <translation>Fit the level axis to the trace shown now, in 1-2-5 dB per division</translation>
    </message>
    <message id="dw_view_clear_reference">
        <source>Clear reference</source>
        <translation>Clear reference</translation>
    </message>
    <message id="dw_view_clear_reference_tip">
        <source>Forget the reference of this view for this device and preset</source>
        <translation>Forget the reference of this view for this device and preset</translation>
    </message>
    <message id="dw_view_coarser_scale">
        <source>More dB per division</source>
        <translation>More dB per division</translation>
    </message>
    <message id="dw_view_coarser_scale_tip">
        <source>Zoom out on the level: the next larger 1-2-5 step</source>
        <translation>Zoom out on the level: the next larger 1-2-5 step</translation>
    </message>
    <message id="dw_view_copy_picture">
        <source>Copy picture of this view</source>
        <translation>Copy picture of this view</translation>
    </message>
    <message id="dw_view_copy_picture_tip">
        <source>Put a picture of this view, marker readouts included, on the clipboard</source>
        <translation>Put a picture of this view, marker readouts included, on the clipboard</translation>
    </message>
    <message id="dw_view_difference">
        <source>Show difference from reference</source>
        <translation>Show difference from reference</translation>
    </message>
    <message id="dw_view_difference_tip">
        <source>Draw the live trace minus the reference in dB, centred on 0</source>
        <translation>Draw the live trace minus the reference in dB, centred on 0</translation>
    </message>
    <message id="dw_view_export">
        <source>Export…</source>
        <translation>Export…</translation>
    </message>
    <message id="dw_view_export_tip">
        <source>Save both channels&apos; traces as a CSV or Touchstone file, or this view as a PNG picture</source>
        <translation>Save both channels&apos; traces as a CSV or Touchstone file, or this view as a PNG picture</translation>
    </message>
    <message id="dw_view_finer_scale">
        <source>Fewer dB per division</source>
        <translation>Fewer dB per division</translation>
    </message>
    <message id="dw_view_finer_scale_tip">
        <source>Zoom in on the level: the next smaller 1-2-5 step; Shift or Ctrl with the mouse wheel does the same</source>
        <translation>Zoom in on the level: the next smaller 1-2-5 step; Shift or Ctrl with the mouse wheel does the same</translation>
    </message>
    <message id="dw_view_level_down">
        <source>Reference level down</source>
        <translation>Reference level down</translation>
    </message>
    <message id="dw_view_level_down_tip">
        <source>Lower the top of the level axis by one division</source>
        <translation>Lower the top of the level axis by one division</translation>
    </message>
    <message id="dw_view_level_up">
        <source>Reference level up</source>
        <translation>Reference level up</translation>
    </message>
    <message id="dw_view_level_up_tip">
        <source>Raise the top of the level axis by one division</source>
        <translation>Raise the top of the level axis by one division</translation>
    </message>
    <message id="dw_view_load_reference">
        <source>Load reference from file…</source>
        <translation>Load reference from file…</translation>
    </message>
    <message id="dw_view_load_reference_refused">
        <source>The file was not taken as a reference:
%1</source>
        <translation>The file was not taken as a reference:
%1</translation>
    </message>
    <message id="dw_view_load_reference_tip">
        <source>Take a trace exported earlier (CSV or Touchstone) as this view&apos;s reference</source>
        <translation>Take a trace exported earlier (CSV or Touchstone) as this view&apos;s reference</translation>
    </message>
    <message id="dw_view_load_reference_title">
        <source>Load reference</source>
        <translation>Load reference</translation>
    </message>
    <message id="dw_view_max_hold">
        <source>Max hold</source>
        <translation>Max hold</translation>
    </message>
    <message id="dw_view_max_hold_tip">
        <source>Draw the highest level measured at each point since the last reset</source>
        <translation>Draw the highest level measured at each point since the last reset</translation>
    </message>
    <message id="dw_view_min_hold">
        <source>Min hold</source>
        <translation>Min hold</translation>
    </message>
    <message id="dw_view_min_hold_tip">
        <source>Draw the lowest level measured at each point since the last reset</source>
        <translation>Draw the lowest level measured at each point since the last reset</translation>
    </message>
    <message id="dw_view_reset_holds">
        <source>Reset holds</source>
        <translation>Reset holds</translation>
    </message>
    <message id="dw_view_reset_holds_tip">
        <source>Start the max and min holds over from the next sweep</source>
        <translation>Start the max and min holds over from the next sweep</translation>
    </message>
    <message id="dw_view_reset_scale">
        <source>Reset scale and zoom</source>
        <translation>Reset scale and zoom</translation>
    </message>
    <message id="dw_view_reset_scale_tip">
        <source>Back to the designed level range and the preset's whole frequency range; the mouse wheel zooms on frequency</source>
        <translation>Back to the designed level range and the preset's whole frequency range; the mouse wheel zooms on frequency</translation>
    </message>
    <message id="dw_view_store_reference">
        <source>Store reference</source>
        <translation>Store reference</translation>
    </message>
    <message id="dw_view_store_reference_tip">
        <source>Keep the last complete sweep as this view's reference, drawn as a dimmer line; kept for this device and preset</source>
        <translation>Keep the last complete sweep as this view's reference, drawn as a dimmer line; kept for this device and preset</translation>
    </message>
    <message id="dw_view_type_scale">
        <source>Type scale and drop...</source>
        <translation>Type scale and drop...</translation>
    </message>
    <message id="dw_view_type_scale_tip">
        <source>Type the reference level, dB per division and the bandwidth drop</source>
        <translation>Type the reference level, dB per division and the bandwidth drop</translation>
    </message>
    <message id="dw_window_title">
        <source>Oskiro MERO</source>
        <translation>Oskiro MERO</translation>
    </message>
    <message id="dw_window_title_ver">
        <source>%1 ver. %2</source>
        <translation>%1 ver. %2</translation>
    </message>
    <message id="util_failed_to_create">
        <source>failed to create dir [ %1 ] at: %2</source>
        <translation>failed to create dir [ %1 ] at: %2</translation>
    </message>
</context>
</TS>
