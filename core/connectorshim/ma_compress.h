#pragma once
// Debian's libmariadb-dev ships mysql/client_plugin.h, which includes this header, without it. The plugin
// header needs only the name of the compression context, which the program never uses.
typedef struct st_ma_compression_ctx ma_compress_ctx;
