<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="dw_tr_language">
        <source>Language name</source>
        <translation>English</translation>
    </message>
    <message id="dw_err_failed_manager_init">
        <source>failed to init: </source>
        <translation>failed to init: </translation>
    </message>
    <message id="dw_err_logger_cant_create_dirs">
        <source>failed to create dir used to store logs at: </source>
        <translation>failed to create dir used to store logs at: </translation>
    </message>
    <message id="dw_err_logger_cant_create_file">
        <source>failed to create log file at: </source>
        <translation>failed to create log file at: </translation>
    </message>
    <message id="util_failed_to_create">
        <source>failed to create dir [ %1 ] at: %2</source>
        <translation>failed to create dir [ %1 ] at: %2</translation>
    </message>
</context>
</TS>
