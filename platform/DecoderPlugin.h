/* Decoder plug-ins of the "bass.dll" stand-in: shared libraries that teach its streams a file
 * format it cannot read itself. Plain C, so a plug-in needs nothing else from this project.
 *
 * A plug-in exports, with C linkage,
 *     const QvDecoderPlugin* QvDecoderPluginEntry(void);
 * which gives a table that stays valid while the library is loaded (BASS_PluginLoad loads it;
 * BASS_Free lets it go once no stream made by it is left). When a stream is created from a
 * file that no built-in decoder accepts, every loaded plug-in in load order is offered the
 * file until one opens it.
 *
 * The file (a file on disk, in a pak archive, or a block of memory) is read only through the
 * QvDecoderFile it is given, which stays valid until close. Every call for one decoder comes
 * from one thread at a time; different decoders may be used at once on different threads. */
#ifndef QUORVANE_DECODER_PLUGIN_H
#define QUORVANE_DECODER_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this interface; a table giving another one is refused. */
#define QV_DECODER_PLUGIN_ABI 1u
#define QV_DECODER_PLUGIN_ENTRY "QvDecoderPluginEntry"

typedef struct QvDecoderFile {
  void* handle;
  /* Bytes read, fewer at the end of the file. */
  size_t (*read)(void* handle, void* buffer, size_t bytes);
  /* As fseek (origin 0, 1, 2); 0 on success. */
  int (*seek)(void* handle, int64_t offset, int origin);
  int64_t (*tell)(void* handle);
  /* Size in bytes, or -1. */
  int64_t (*size)(void* handle);
} QvDecoderFile;

typedef struct QvDecoderFormat {
  int channels;     /* 1 or 2 */
  int rate;         /* 100..100000 frames per second */
  uint64_t frames;  /* length, 0 when unknown */
} QvDecoderFormat;

typedef struct QvDecoderPlugin {
  uint32_t abi;            /* QV_DECODER_PLUGIN_ABI */
  const char* name;        /* the format's name, e.g. "Raw PCM" */
  const char* extensions;  /* e.g. "*.qraw;*.raw" */
  /* A decoder over the file with its format filled in, or null when the file is not of this
   * format (or is broken). */
  void* (*open)(const QvDecoderFile* file, QvDecoderFormat* format);
  /* Up to `frames` frames of signed 16-bit samples, interleaved when stereo; fewer, or 0, at
   * the end; negative on a read error (taken as the end). */
  int (*read)(void* decoder, int16_t* out, int frames);
  /* Moves to a frame; nonzero on success. */
  int (*seek)(void* decoder, uint64_t frame);
  void (*close)(void* decoder);
} QvDecoderPlugin;

typedef const QvDecoderPlugin* (*QvDecoderPluginEntryFn)(void);

#ifdef __cplusplus
}
#endif

#endif
