/* libmorvane-track: features followed through a sequence of grey frames with the
 * Morvane component, each step checked; a C interface that never throws. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MORVANE_TRACK_API __attribute__((visibility("default")))

/* Result codes of every call; the calling thread's message says more
 * (morvane_track_message). */
enum {
    MORVANE_TRACK_OK = 0,
    MORVANE_TRACK_INVALID = 1,    /* an argument or setting that cannot be */
    MORVANE_TRACK_COMPONENT = 2,  /* the component is missing or refused a call */
    MORVANE_TRACK_FRAME_SIZE = 3, /* a frame of another size than the first */
    MORVANE_TRACK_READ = 4,       /* an input that cannot be opened or read */
    MORVANE_TRACK_END = 5,        /* no more frames */
    MORVANE_TRACK_WOKEN = 6,      /* the wake-up descriptor ended a wait for a frame */
    MORVANE_TRACK_NO_MEMORY = 7
};

/* Why a track ended. */
enum {
    MORVANE_TRACK_LOST = 0,             /* the component did not find the point */
    MORVANE_TRACK_FORWARD_BACKWARD = 1, /* tracked back, it missed its start by more than fb_max */
    MORVANE_TRACK_RESIDUE = 2,          /* its residue exceeded residue_max */
    MORVANE_TRACK_LEFT_FRAME = 3,       /* it left the frame (or entered its padding) */
    MORVANE_TRACK_APPEARANCE = 4,       /* its patch no longer looks like the one it started on */
    MORVANE_TRACK_END_REASONS = 5
};

typedef struct morvane_track_settings {
    int max_features;      /* most live tracks (400); at least the given points' count */
    double quality;        /* corner quality relative to the best, (0, 1] (0.01) */
    double min_distance;   /* between corners and from live tracks, [0, 1e6] (10) */
    double redetect;       /* detect again below this share of max_features, [0, 1] (0.7) */
    int half_width;        /* the component's feature_width (10) */
    int half_height;       /* feature_height (10) */
    int levels;            /* pyramid_levels (3) */
    int iterations;        /* stop_iterations (30) */
    double epsilon;        /* stop_epsilon (0.01) */
    double fb_max;         /* forward-backward limit in pixels, 0 for none (1.0) */
    double residue_max;    /* residue limit, >= 0; infinity for none (none) */
    int appearance_check;  /* 1: end tracks whose patch changed (1) */
    double appearance_min; /* least correlation with the start patch, [-1, 1] (0.8) */
    const float *points;   /* start points as x, y pairs instead of corners (none) */
    size_t point_count;
} morvane_track_settings;

/* One live track's point in a frame. */
typedef struct morvane_track_row {
    long frame;
    long track;
    float x, y;
    float residue;          /* 0 where has_residue is 0 (the track's first frame) */
    float fb_error;         /* 0 where has_fb_error is 0 (first frame, check off, no round trip) */
    unsigned char has_residue;
    unsigned char has_fb_error;
} morvane_track_row;

/* A track that ended in a frame: its last row was in the frame before. */
typedef struct morvane_track_end {
    long frame;
    long track;
    long first_frame;
    int reason;
} morvane_track_end;

typedef struct morvane_track_summary {
    long frames;
    long started;
    long ended[MORVANE_TRACK_END_REASONS];
    double median_length; /* in frames, over every track ended or alive */
} morvane_track_summary;

typedef struct morvane_track_engine morvane_track_engine;
typedef struct morvane_track_source morvane_track_source;

/* The message of the calling thread's last failed call ("" when none). */
MORVANE_TRACK_API const char *morvane_track_message(void);

/* The defaults above. */
MORVANE_TRACK_API void morvane_track_default_settings(morvane_track_settings *settings);

/* The frame size the component's pyramid needs: width and height rounded up to
 * multiples of 2^levels (levels in [0, 30]). */
MORVANE_TRACK_API int morvane_track_padded_size(int width, int height, int levels, int *padded_width, int *padded_height);

/* Creates the component (it must be registered) for a run with these settings. */
MORVANE_TRACK_API int morvane_track_open(const morvane_track_settings *settings, morvane_track_engine **engine);

/* Tracks the live tracks into the next frame (8-bit grey, rows `stride` bytes
 * apart), ends those that fail a check and starts new ones. The first frame
 * fixes the size. */
MORVANE_TRACK_API int morvane_track_push(morvane_track_engine *engine, const unsigned char *pixels, int width, int height,
                       ptrdiff_t stride);

/* The rows and the ends of the frame last pushed, valid until the next push. */
MORVANE_TRACK_API int morvane_track_rows(const morvane_track_engine *engine, const morvane_track_row **rows, size_t *count);
MORVANE_TRACK_API int morvane_track_ends(const morvane_track_engine *engine, const morvane_track_end **ends, size_t *count);
MORVANE_TRACK_API int morvane_track_get_summary(const morvane_track_engine *engine, morvane_track_summary *summary);

MORVANE_TRACK_API void morvane_track_close(morvane_track_engine *engine);

/* Opens a video file, a folder of images (natural order) or a printf-style
 * pattern, and starts decoding ahead on a thread of its own. A readable `wake`
 * descriptor (-1 for none) ends a wait for a frame from a pipe. */
MORVANE_TRACK_API int morvane_track_source_open(const char *input, int wake, morvane_track_source **source);

/* The next frame in grey, valid until the next call; MORVANE_TRACK_END after the last. */
MORVANE_TRACK_API int morvane_track_source_next(morvane_track_source *source, const unsigned char **pixels, int *width, int *height,
                              ptrdiff_t *stride);

/* The frame last read or attempted, for messages. */
MORVANE_TRACK_API const char *morvane_track_source_frame_name(const morvane_track_source *source);
/* Frame count and frames per second when the input knows them, else 0. */
MORVANE_TRACK_API long morvane_track_source_frame_count(const morvane_track_source *source);
MORVANE_TRACK_API double morvane_track_source_fps(const morvane_track_source *source);

/* The input that writing `output` would overwrite (the same file by device and
 * inode, or for a folder output the folder of an input), or NULL. */
MORVANE_TRACK_API const char *morvane_track_source_overwritten(const morvane_track_source *source, const char *output, int folder);

MORVANE_TRACK_API void morvane_track_source_close(morvane_track_source *source);

#ifdef __cplusplus
}
#endif
