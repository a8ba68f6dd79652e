/*
 * korval32.h - the public interface of the korval32 database engine.
 *
 * korval32 keeps dBASE data files (.DBF), B-tree index files (.IX4) whose
 * keys are computed from key expressions, and memo files (.DBT).  Every
 * exported function returns a 32-bit result code (KvlError) and writes its
 * other results through out-parameters; no export throws.
 *
 * Handles are caller-owned control records.  The caller allocates a record
 * (KVL_DATA_CONTROL_SIZE / KVL_INDEX_CONTROL_SIZE bytes), zero-fills it, sets
 * the few fields marked "caller" and passes its address to every call.  The
 * engine never allocates or frees a control record.
 *
 * Every export exists under three names: the plain name (KvlDataOpenFile),
 * the plain name with a leading underscore (_KvlDataOpenFile), both ELF
 * symbols of one entry point, and the decorated name (KvlDataOpenFile@8, the
 * argument count times four) which ELF cannot carry: KvlProcAddress resolves
 * all three forms.
 *
 * Platform notes (Linux):
 *   - OS handles are POSIX file descriptors held in 32-bit words.
 *   - OS errors are reported as Win32 error numbers (ENOENT as
 *     KVL_WIN_FILE_NOT_FOUND, EACCES as KVL_WIN_ACCESS_DENIED, ENOSPC as
 *     KVL_WIN_DISK_FULL, a lock conflict as KVL_WIN_LOCK_VIOLATION, ...), so
 *     one number means one thing whatever the platform; the KVL_WIN_* codes
 *     below list them.
 *   - A write the system takes only in part is carried on with the rest, so
 *     a write that runs out of room reports the system's own error:
 *     KVL_WIN_DISK_FULL for a full disk or quota, KVL_WIN_FILE_TOO_LARGE past
 *     the largest file size.  The built-in layer reports
 *     KVL_WIN_HANDLE_DISK_FULL only when the system accepts no more bytes
 *     without giving an error.  Either way a failed write may have written
 *     part of its bytes.
 *   - Byte-range locks are open-file-description locks: they belong to the
 *     open file, not the process, so two handles of one process conflict.
 *     They are ADVISORY: a process that does not ask for a lock still reads
 *     and writes a locked range.  Processes that share files must lock.
 *   - The sharing bits of an open mode are not enforced (POSIX opens have no
 *     sharing modes); the built-in layer ignores them.
 *   - The system's OEM code page is 850 and its ANSI code page is 1252.
 *   - All file formats are little-endian and byte-exact on every host.
 */
#ifndef KORVAL32_H
#define KORVAL32_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KVL_API __attribute__((visibility("default")))
#else
#define KVL_API
#endif

/* ------------------------------------------------------------------------ */
/* Result codes                                                              */
/* ------------------------------------------------------------------------ */

typedef uint32_t KvlError;

/* Every result code, once: X(name, value). */
#define KVL_RESULT_CODES(X) \
    X(ERR_NONE, 0) \
    /* Win32 numbers, chosen by the engine or translated from errno. */ \
    X(KVL_WIN_INVALID_FUNCTION, 1) /* heap kind not 0; handle count not raised; short table */ \
    X(KVL_WIN_FILE_NOT_FOUND, 2) /* ENOENT */ \
    X(KVL_WIN_PATH_NOT_FOUND, 3) /* ENOTDIR; drive without root directory */ \
    X(KVL_WIN_TOO_MANY_OPEN_FILES, 4) /* EMFILE, ENFILE */ \
    X(KVL_WIN_ACCESS_DENIED, 5) /* EACCES, EPERM, EISDIR */ \
    X(KVL_WIN_INVALID_HANDLE, 6) /* EBADF */ \
    X(KVL_WIN_NOT_ENOUGH_MEMORY, 8) /* allocation failed; ENOMEM */ \
    X(KVL_WIN_INVALID_BLOCK, 9) /* block could not be freed */ \
    X(KVL_WIN_INVALID_ACCESS, 12) /* open mode access value not 0, 1, 2 or 4 */ \
    X(KVL_WIN_INVALID_DRIVE, 15) /* drive above 26 or of unknown type */ \
    X(KVL_WIN_NOT_SAME_DEVICE, 17) /* EXDEV */ \
    X(KVL_WIN_WRITE_PROTECT, 19) /* EROFS */ \
    X(KVL_WIN_GEN_FAILURE, 31) /* any errno without a closer Win32 number */ \
    X(KVL_WIN_SHARING_VIOLATION, 32) /* EBUSY, ETXTBSY */ \
    X(KVL_WIN_LOCK_VIOLATION, 33) /* byte range held by another handle */ \
    X(KVL_WIN_HANDLE_EOF, 38) /* a read returned fewer bytes than asked */ \
    X(KVL_WIN_HANDLE_DISK_FULL, 39) /* a write stopped short without an OS error (see above) */ \
    X(KVL_WIN_FILE_EXISTS, 80) /* file to be created exists already; EEXIST */ \
    X(KVL_WIN_INVALID_PARAMETER, 87) /* EINVAL */ \
    X(KVL_WIN_OWNER_DIED, 105) /* mutex acquired from an owner that ended */ \
    X(KVL_WIN_DISK_FULL, 112) /* ENOSPC, EDQUOT */ \
    X(KVL_WIN_DIR_NOT_EMPTY, 145) /* ENOTEMPTY */ \
    X(KVL_WIN_ATOMIC_LOCKS, 174) /* lock flags carry bit 2 */ \
    X(KVL_WIN_NO_SHARED_LOCKS, 175) /* shared lock on a system without them */ \
    X(KVL_WIN_FILENAME_TOO_LONG, 206) /* ENAMETOOLONG */ \
    X(KVL_WIN_FILE_TOO_LARGE, 223) /* EFBIG */ \
    X(KVL_WIN_NOT_OWNER, 288) /* mutex released by a thread that does not own it */ \
    X(KVL_WIN_TIMEOUT, 640) /* mutex wait timed out */ \
    X(KVL_WIN_IO_DEVICE, 1117) /* EIO */ \
    /* Engine codes. */ \
    X(ERR_COLLATION_SOFT_1, 8295) \
    X(ERR_COLLATION_SOFT_2, 8296) \
    X(ERR_BAD_FUNCTION, 8300) \
    X(ERR_BAD_FILE_HANDLE, 8305) \
    X(ERR_FILE_NOT_OPEN, 8306) \
    X(ERR_HEADER_DIRTY, 8307) \
    X(ERR_WRONG_FILE_KIND, 8308) \
    X(ERR_BAD_VARIABLE, 8314) \
    X(ERR_FILE_LIMIT, 8316) \
    X(ERR_READ_ONLY, 8317) \
    X(ERR_INCOMPLETE_WRITE, 8318) \
    X(ERR_ALREADY_OPEN, 8319) \
    X(ERR_NO_DATA_LINK, 8320) \
    X(ERR_MEMORY_SIZE, 8351) \
    X(ERR_BAD_LIST_END, 8387) \
    X(ERR_NULL_PARAMETER, 8396) \
    X(ERR_NOT_LOCKED, 8404) \
    X(ERR_FILE_LOCKED, 8405) \
    X(ERR_HEADER_LOCKED, 8406) \
    X(ERR_LOCK_MODE_CONFLICT, 8407) \
    X(ERR_RELOCK_SAME_MODE, 8408) \
    X(ERR_KEY_NOT_FOUND, 8501) \
    X(ERR_KEY_FOUND, 8502) \
    X(ERR_END_OF_INDEX, 8503) \
    X(ERR_TOP_OF_INDEX, 8504) \
    X(ERR_EMPTY_INDEX, 8505) \
    X(ERR_INDEX_TOO_DEEP, 8507) \
    X(ERR_NO_NODE, 8508) \
    X(ERR_NO_NODE_WRITE, 8509) \
    X(ERR_BAD_POSITION, 8510) \
    X(ERR_NO_ROOT, 8511) \
    X(ERR_BAD_NODE, 8512) \
    X(ERR_BAD_FREE_LIST, 8513) \
    X(ERR_NO_RECORD_NUMBER, 8514) \
    X(ERR_NOT_INDEX_FILE, 8522) \
    X(ERR_KEY_TOO_LONG, 8523) \
    X(ERR_FIELD_BOUNDS, 8524) \
    X(ERR_REINDEX_DEPTH, 8525) \
    X(ERR_NODE_SIZE, 8534) \
    X(ERR_MEMO_NAME, 8535) \
    X(ERR_SORT_FUNCTION, 8538) \
    X(ERR_NO_FPU, 8539) \
    X(ERR_EXPR_EMPTY, 8541) \
    X(ERR_EXPR_TEXT, 8542) \
    X(ERR_EXPR_NAME_LONG, 8543) \
    X(ERR_EXPR_UNKNOWN_NAME, 8544) \
    X(ERR_EXPR_TOO_MANY, 8545) \
    X(ERR_EXPR_TYPE, 8546) \
    X(ERR_EXPR_RANGE, 8547) \
    X(ERR_EXPR_SYNTAX, 8548) \
    X(ERR_EXPR_FIELD_TYPE, 8549) \
    X(ERR_REINDEX_BUFFER, 8551) \
    X(ERR_REINDEX_RUNS, 8552) \
    X(ERR_REINDEX_MERGE, 8553) \
    X(ERR_UPDATE_NO_OWNER, 8571) \
    X(ERR_UPDATE_TOO_BIG, 8576) \
    X(ERR_UPDATE_BAD_FIRST, 8577) \
    X(ERR_DATA_LINK_INVALID, 8601) \
    X(ERR_RECORD_TOO_LONG, 8603) \
    X(ERR_FIELD_COUNT, 8605) \
    X(ERR_NOT_DATA_FILE, 8606) \
    X(ERR_BAD_RECORD_NUMBER, 8609) \
    X(ERR_RECORD_FILTERED, 8610) \
    X(ERR_FIELD_LENGTH, 8611) \
    X(ERR_EMPTY_FILE, 8612) \
    X(ERR_MEMO_OPEN, 8701) \
    X(ERR_MEMO_BLOCK_SIZE, 8703) \
    X(ERR_MEMO_NOT_MEMO, 8704) \
    X(ERR_MEMO_OFFSET, 8705) \
    X(ERR_MEMO_BLOCK_ZERO, 8706) \
    X(ERR_MEMO_FREE_CHAIN, 8708) \
    X(ERR_MEMO_SIZE, 8709) \
    X(ERR_MEMO_SHRINK, 8710) \
    X(ERR_MEMO_FILL_COUNT, 8711) \
    X(ERR_PACK_MEMO, 8712)

#ifdef __cplusplus
#define KVL_DEFINE_RESULT_CODE(name, value) inline constexpr uint32_t name = value;
#else
#define KVL_DEFINE_RESULT_CODE(name, value) enum { name = value };
#endif
KVL_RESULT_CODES(KVL_DEFINE_RESULT_CODE)
#undef KVL_DEFINE_RESULT_CODE

/* ------------------------------------------------------------------------ */
/* Engine variables (KvlGetVar / KvlSetVar)                                  */
/* ------------------------------------------------------------------------ */

enum KvlEngineVariable {
    KVL_VAR_MEMO_MAX_PATH = 1,        /* 260: longest path for a memo file name */
    KVL_VAR_RESERVED_2 = 2,           /* 255: stored and returned only */
    KVL_VAR_MEMO_MAX_NAME = 3,        /* 255: longest file name for a memo file name */
    KVL_VAR_LOCK_RESERVE = 4,         /* 131072: distance kept below the lock base */
    KVL_VAR_REINDEX_RESERVE = 10,     /* 65536: memory a rebuild leaves free */
    KVL_VAR_REINDEX_CEILING = 11,     /* 294912: largest rebuild work memory */
    KVL_VAR_ALLOC_CEILING = 12,       /* 131072: largest single KvlMemAlloc */
    KVL_VAR_PACK_BUFFER = 13,         /* 4096: pack copy buffer */
    KVL_VAR_SORT_HEAP = 14,           /* 0: heap kind of sort and pack */
    KVL_VAR_ALLOC_COUNT = -1,         /* read only: successful KvlMemAlloc calls */
    KVL_VAR_FREE_COUNT = -2,          /* read only: successful KvlMemFree calls */
    KVL_VAR_MODULE_HANDLE = -3,       /* read only: non-zero while the library is loaded */
    KVL_VAR_FILE_LAYER = -4           /* fills a FileLayerTable with the built-in layer */
};

/* ------------------------------------------------------------------------ */
/* Date stamp                                                                */
/* ------------------------------------------------------------------------ */

#pragma pack(push, 1)
typedef struct DateTimeRecord {
    uint8_t hours;
    uint8_t minutes;
    uint8_t seconds;
    uint8_t hundredths;
    uint8_t day;
    uint8_t month;
    uint16_t year;
    int16_t timezone; /* always -1 */
    uint8_t weekday;  /* 0 = Sunday */
} DateTimeRecord;
#pragma pack(pop)

/* ------------------------------------------------------------------------ */
/* OS file layer                                                             */
/* ------------------------------------------------------------------------ */

/* Open mode bits read by the built-in layer (after folding to 16 bits). */
#define KVL_OPEN_ACCESS_MASK 0x0007u   /* 0 read, 1 write, 2 or 4 read and write */
#define KVL_OPEN_SHARE_MASK 0x0070u    /* sharing; not enforced on Linux */
#define KVL_OPEN_HINT_MASK 0x0300u     /* 1 sequential, 2 random, 3 both */
#define KVL_OPEN_WRITE_THROUGH 0x4000u /* every write reaches the disk (O_DSYNC) */
#define KVL_OPEN_CREATE_MODE 0x600012u /* the engine's own opens of files it creates */
#define KVL_OPEN_REWRITE_MODE 0x200012u /* sort and pack */

/* Seek methods; bit 7 selects the 64-bit (low word, high word) form. */
#define KVL_SEEK_SET 0u
#define KVL_SEEK_CUR 1u
#define KVL_SEEK_END 2u
#define KVL_SEEK_64 0x80u

/* Lock flags of KvlLockFile. */
#define KVL_LOCK_UNLOCK 0x01u
#define KVL_LOCK_SHARED 0x02u
#define KVL_LOCK_ATOMIC 0x04u /* refused with KVL_WIN_ATOMIC_LOCKS by the built-in layer */
#define KVL_LOCK_64 0x80u

#define KVL_LAYER_64BIT 0x01u /* FileLayerTable.flags: positions are (low, high) pairs */

typedef uint32_t (*KvlLayerClose)(uint32_t *handle);
typedef uint32_t (*KvlLayerPath)(const char *path);
typedef uint32_t (*KvlLayerMove)(const char *old_path, const char *new_path);
typedef uint32_t (*KvlLayerOpen)(const char *path, uint32_t folded_mode, uint32_t *handle);
typedef uint32_t (*KvlLayerRead)(uint32_t handle, uint32_t *length, void *buffer);
typedef uint32_t (*KvlLayerSeek)(uint32_t handle, uint32_t method, uint32_t *position);
typedef uint32_t (*KvlLayerFlush)(uint32_t handle);
typedef uint32_t (*KvlLayerWrite)(uint32_t handle, uint32_t *length, const void *buffer);
typedef uint32_t (*KvlLayerLock)(uint32_t handle, uint32_t flags, uint32_t *offset,
                                 uint32_t *length, uint32_t time_budget);
typedef uint32_t (*KvlLayerRemote)(uint32_t handle, uint32_t drive, uint32_t *remote,
                                   uint32_t *kind);

/* A replacement for the built-in file layer.  A null slot (or a null table)
 * selects the built-in function of that slot.  With KVL_LAYER_64BIT every
 * position and lock offset or length is passed as two 32-bit words. */
typedef struct FileLayerTable {
    uint32_t count; /* entry count: 12 */
    uint32_t flags; /* KVL_LAYER_64BIT */
    KvlLayerClose close;
    KvlLayerPath create_dir;
    KvlLayerPath create_file;
    KvlLayerPath delete_file;
    KvlLayerMove move_file;
    KvlLayerOpen open;
    KvlLayerRead read;
    KvlLayerSeek seek;
    KvlLayerFlush update_dir;
    KvlLayerWrite write;
    KvlLayerLock lock;
    KvlLayerRemote remote;
} FileLayerTable;

#define KVL_FILE_LAYER_ENTRIES 12u

/* ------------------------------------------------------------------------ */
/* Data files                                                                */
/* ------------------------------------------------------------------------ */

/* Common head of both control records. */
#define KVL_KIND_DATA 0x01u

/* State flags (both control records). */
#define KVL_STATE_CHANGED 0x01u       /* header changed in memory, not flushed */
#define KVL_STATE_FILE_LOCKED 0x02u   /* whole-file (or index) lock held */
#define KVL_STATE_FILE_SHARED 0x04u   /* that lock is shared */
#define KVL_STATE_HALVED_BASE 0x08u   /* halved lock base (open flag) */
#define KVL_STATE_SKIP_DELETED 0x10u  /* data: record-level index calls pass over '*' */
#define KVL_STATE_RESEEK 0x10u        /* index: re-seek mode for stepping */
#define KVL_STATE_HEADER_LOCKED 0x20u /* data: header lock held */
#define KVL_STATE_HEADER_SHARED 0x40u /* data: header lock is shared */
#define KVL_STATE_READ_ONLY 0x80u
#define KVL_STATE_OPEN_MASK 0x98u     /* open flags copied into the state */
#define KVL_STATE_TREE_SUSPECT 0x0100u  /* index, engine: a tree change failed part way;
                                           flushes keep the changes-pending bit
                                           (ERR_INCOMPLETE_WRITE) */
#define KVL_STATE_RECORDS_PRESENT 0x0100u /* data, engine: the file holds every record its
                                           count names (looked at before the first append
                                           after an open or a header re-read) */
#define KVL_STATE_NO_RUN_CHECK 0x2000u  /* index: rebuild sorts every run */
#define KVL_STATE_KEEP_WORK 0x4000u     /* index: rebuild keeps its work file */
#define KVL_STATE_NO_MERGE 0x8000u      /* index: deletes never merge nodes */

#define KVL_OPEN_KEEP_NAMES 0x80000000u /* data open mode: field names as stored */

/* One 32-byte field descriptor, in file form.  In a control record, bytes
 * 12 to 15 hold the field's offset in the record. */
typedef struct FieldDescriptor {
    char name[11]; /* NUL-padded; byte 10 always 0 */
    char type;
    uint32_t offset;
    uint8_t length;
    uint8_t decimals;
    uint8_t reserved[14];
} FieldDescriptor;

/* The 32-byte data file header. */
typedef struct DbfHeader {
    uint8_t version; /* 0x88 both set: the file has a memo file */
    uint8_t year;    /* year of last update - 1900, modulo 256 */
    uint8_t month;
    uint8_t day;
    uint32_t record_count;
    uint16_t header_length; /* 32 * fields + 33 */
    uint16_t record_length; /* 1 + sum of field lengths */
    uint16_t reserved1;
    uint8_t incomplete; /* bit 0 records added, bit 1 memo changed, not flushed */
    uint8_t reserved2[17];
} DbfHeader;

#define KVL_DBF_VERSION_MEMO 0x88u
#define KVL_DBF_ADDED_UNFLUSHED 0x01u
#define KVL_DBF_MEMO_UNFLUSHED 0x02u

/* The memo file header (first 24 bytes of a .DBT file). */
typedef struct MemoHeader {
    uint32_t next_free;
    uint32_t reserved1;
    char data_name[8];
    uint32_t reserved2;
    uint32_t block_size;
} MemoHeader;

/* Memo state flags (DataControlRecord.memo_state). */
#define KVL_MEMO_STATE_CHANGED 0x01u    /* memo header changed, not yet written */
#define KVL_MEMO_STATE_BYTE_SIZES 0x02u /* caller, after open: free-run sizes count bytes */
#define KVL_MEMO_SIGNATURE 0x0008FFFFu  /* first word of a stored memo: FF FF 08 00 */
#define KVL_MEMO_FILL_NEVER 1u          /* memo_fill_mode: never zero-fill unused space */

struct DataControlRecord;
struct IndexControlRecord;
typedef struct DataControlRecord *DataHandle;
typedef struct IndexControlRecord *IndexHandle;

/* Record events of a RecordCallback. */
enum KvlRecordEvent {
    KVL_EVENT_READ = 1,         /* after a record was read */
    KVL_EVENT_BEFORE_ADD = 2,   /* before an append */
    KVL_EVENT_AFTER_ADD = 3,    /* after an append was attempted */
    KVL_EVENT_BEFORE_WRITE = 4, /* before an overwrite */
    KVL_EVENT_AFTER_WRITE = 5   /* after an overwrite was attempted */
};

typedef uint32_t (*RecordCallback)(uint32_t event, DataHandle data, void *record,
                                   uint32_t record_number);

/* Progress callback of KvlDataPack and KvlDataSort: (new file, 1). */
typedef uint32_t (*KvlDataProgress)(DataHandle data, uint32_t value);

/* The caller's handle of an open data file.  Allocate
 * KVL_DATA_CONTROL_SIZE(n) bytes for n field descriptors and zero them. */
typedef struct DataControlRecord {
    uint32_t kind;          /* engine: KVL_KIND_DATA after open */
    uint32_t state;         /* KVL_STATE_* */
    uint32_t os_handle;     /* 0 while closed */
    uint32_t open_mode;     /* caller; KVL_OPEN_KEEP_NAMES */
    uint32_t field_count;   /* caller: capacity; after open: fields in the file */
    uint32_t reserved0;     /* keeps file_name where an index record has it */
    const char *file_name;  /* caller */
    uint32_t reserved1;
    MemoHeader memo_header; /* caller sets block_size before creation */
    uint32_t memo_os_handle;
    uint32_t memo_state;    /* bit 0 header changed; bit 1 free sizes in bytes */
    uint32_t memo_current_block;
    uint32_t memo_block_header[2];
    uint32_t memo_first_block_size; /* caller; 0 = block size */
    char memo_extension[4];         /* caller; empty = "DBT" */
    uint32_t memo_signature;        /* caller; 0 = 0x0008FFFF */
    uint32_t file_lock_count;
    uint32_t header_lock_count;
    uint32_t lock_base;             /* caller; 0 = none */
    uint32_t reserved2;
    uint32_t progress;              /* percentage during sort and pack */
    uint32_t reserved3[2];
    RecordCallback record_callback; /* caller; 0 = none */
    uint32_t reserved4[3];
    uint32_t memo_max_path;         /* caller; 0 = engine variable 1 */
    uint32_t reserved5;
    uint32_t memo_max_name;         /* caller; 0 = engine variable 3 */
    uint32_t reserved6;
    uint32_t heap_kind;             /* caller */
    uint32_t memo_fill_mode;        /* caller; 1 = never zero-fill unused space */
    uint32_t reserved7;
    const FileLayerTable *file_layer; /* caller; 0 = built-in */
    DbfHeader header;               /* header image */
    FieldDescriptor fields[];       /* field_count descriptors */
} DataControlRecord;

#define KVL_DATA_CONTROL_SIZE(fields) \
    (sizeof(DataControlRecord) + (size_t)(fields) * sizeof(FieldDescriptor))

/* ------------------------------------------------------------------------ */
/* Index files                                                               */
/* ------------------------------------------------------------------------ */

#define KVL_INDEX_SIGNATURE 0x78713134u /* "41qx" */
#define KVL_MAX_KEY_LENGTH 196u
#define KVL_MAX_SEGMENTS 16u
#define KVL_MAX_DEPTH 15u
#define KVL_EXPRESSION_SIZE 380u
#define KVL_NO_NODE 0xFFFFFFFFu

/* Index flags of the header and of KvlIx4CreateFile. */
#define KVL_IX_SORT_MASK 0xFFu
#define KVL_IX_KEYLEN_SHIFT 8u        /* create: key length of an index without data file */
#define KVL_IX_DUPLICATES 0x10000u
#define KVL_IX_OEM 0x20000u

enum KvlSortFunction {
    KVL_SORT_BYTES = 1,
    KVL_SORT_COLLATED = 2,
    KVL_SORT_INT16 = 3,
    KVL_SORT_UINT16 = 4,
    KVL_SORT_INT32 = 5,
    KVL_SORT_UINT32 = 6,
    KVL_SORT_INT64 = 7,
    KVL_SORT_UINT64 = 8,
    KVL_SORT_BY_TYPE = 9,
    KVL_SORT_CUSTOM_FIRST = 0x20
};

/* One compiled key segment, 6 bytes. */
#pragma pack(push, 1)
typedef struct KeySegment {
    uint8_t type;    /* the field's type character */
    uint8_t length;  /* record bytes the segment takes */
    uint16_t offset; /* offset of its first byte in the record */
    uint16_t flags;  /* KVL_SEGMENT_* */
} KeySegment;
#pragma pack(pop)

#define KVL_SEGMENT_UPPER 0x01u
#define KVL_SEGMENT_DESCEND 0x02u

/* The 1024-byte index file header. */
typedef struct IndexHeader {
    uint32_t signature;
    uint32_t node_size;
    uint32_t root;
    uint32_t key_count;
    uint32_t free_head;
    uint32_t next_node;
    uint32_t key_length;
    uint32_t keys_per_node;
    uint32_t code_page;
    uint32_t country;
    uint32_t flags;
    uint32_t segment_count;
    KeySegment segments[16];
    uint8_t day;
    uint8_t month;
    uint16_t year;
    uint32_t flush_count;
    uint8_t state; /* bit 0: changes pending */
    uint8_t reserved[231];
    char expression[380];
    uint32_t collation_size;
    uint8_t collation[256];
} IndexHeader;

#define KVL_IX_STATE_PENDING 0x01u

/* One entry of the position's path stack. */
typedef struct KvlPathEntry {
    uint8_t gap;
    uint8_t slot;
    uint8_t reserved[2];
    uint32_t node;
} KvlPathEntry;

/* Position flags. */
#define KVL_POS_GAP 0x01u
#define KVL_POS_NEGATIVE_SLOT 0x02u
#define KVL_POS_LAST_KEY 0x04u

/* Tree manager functions. */
enum KvlTreeFunction {
    KVL_BTM_RESET = 0,
    KVL_BTM_INSERT = 1,
    KVL_BTM_DELETE = 2,
    KVL_BTM_FIND = 3,
    KVL_BTM_NEXT = 4,
    KVL_BTM_PREV = 5,
    KVL_BTM_LAST = 6
};

/* Key filter events. */
#define KVL_FILTER_READ 0x10u
#define KVL_FILTER_STORE 0x20u
#define KVL_FILTER_NODES 160u

typedef uint32_t (*KvlIndexProgress)(IndexHandle index, uint32_t value);
typedef uint32_t (*KvlKeyFilter)(uint32_t event, IndexHandle index, void *key_or_nodes,
                                 uint32_t record_or_count);
typedef uint32_t (*KvlRunSort)(IndexHandle index, void *entries, uint32_t count);
typedef int32_t (*KvlCompare)(IndexHandle index, const void *key_a, const void *key_b,
                              void *buffer, uint32_t flag);
typedef uint32_t (*KvlBuildKey)(IndexHandle index, void *record, void *key);
typedef uint32_t (*KvlParseExpression)(IndexHandle index, uint32_t *key_length);
typedef uint32_t (*KvlTreeManager)(uint32_t function, IndexHandle index, void *key,
                                   uint32_t record_number);

/* The data link of an index without data file. */
#define KVL_NO_DATA_FILE ((DataControlRecord *)(intptr_t)-1)

/* The caller's handle of an open index file.  Allocate
 * KVL_INDEX_CONTROL_SIZE(node size) bytes, zero them, and preset
 * header.node_size before opening. */
typedef struct IndexControlRecord {
    uint32_t kind;
    uint32_t state;          /* KVL_STATE_* */
    uint32_t os_handle;
    uint32_t open_mode;      /* caller */
    DataControlRecord *data_link; /* caller; KVL_NO_DATA_FILE = none */
    const char *file_name;   /* caller */
    uint32_t reserved0;
    uint32_t buffered_node;  /* KVL_NO_NODE = none */
    uint32_t current_node;
    int32_t current_slot;
    uint32_t position_flags; /* KVL_POS_* */
    uint32_t path_depth;
    KvlPathEntry path[15];
    uint32_t reserved1;
    void *work_buffer;       /* node size + key length + 12 bytes */
    uint32_t work_file_handle;
    uint32_t stat_operations;
    uint32_t stat_node_reads;
    uint32_t stat_buffer_hits;
    uint32_t stat_keys_deleted;
    uint32_t stat_keys_stored;
    uint32_t stat_splits;
    uint32_t stat_nodes_freed;
    uint32_t tag_filter;     /* caller: byte 0 excluded tag, byte 1 required tag */
    uint32_t lock_count;
    uint32_t lock_state;     /* caller's veto: non-zero makes index locks fail */
    uint32_t lock_offset;    /* caller: the index's lock base */
    uint32_t reserved2;
    uint32_t progress;
    uint32_t reserved3;
    KvlIndexProgress progress_callback; /* caller */
    KvlKeyFilter key_filter;            /* caller */
    KvlRunSort run_sort;                /* caller; 0 = built-in */
    KvlCompare compare;                 /* caller; 0 = KvlFuncIx4SortCmp */
    KvlCompare custom_compare;          /* caller; sort functions 0x20-0xFF */
    KvlBuildKey build_key;              /* caller; 0 = KvlFuncIx4BuildKey */
    KvlParseExpression parse;           /* caller; 0 = KvlFuncIx4ParseExp */
    KvlTreeManager tree_manager;        /* caller; 0 = KvlFuncIx4BTM */
    uint32_t reserved4[4];
    uint32_t memory_reserve;     /* caller; 0 = engine variable 10 */
    uint32_t memory_ceiling;     /* caller; 0 = engine variable 11 */
    uint32_t allocation_ceiling; /* caller; 0 = engine variable 12 */
    uint32_t heap_kind;          /* caller */
    uint32_t memory_needed;
    const FileLayerTable *file_layer; /* caller; 0 = built-in */
    uint32_t current_record;
    uint8_t current_key[196];
    uint8_t search_scratch;
    uint8_t reindex_marker; /* 'U' during a rebuild */
    uint8_t reserved5[2];
    IndexHeader header;     /* caller presets header.node_size */
    uint8_t node[];         /* node size bytes: the buffered node */
} IndexControlRecord;

#define KVL_INDEX_CONTROL_SIZE(node_size) \
    (sizeof(IndexControlRecord) + (size_t)(node_size))

/* Result states of KvlIx4Insert / KvlIx4Update and the multi-file calls. */
#define KVL_UPDATE_KEYS_ONLY 0xAA55ABCDu

/* One request of KvlIx4InsertEx / KvlIx4UpdateEx. */
typedef struct IndexRequest {
    IndexHandle index;
    void *key;               /* out: the key built for this index */
    void *record;            /* in: the new data record */
    uint32_t record_number;
    uint32_t state;          /* out */
    uint32_t flags;          /* KVL_REQUEST_SHARED */
    struct IndexRequest *previous; /* engine */
    struct IndexRequest *next;     /* 0 ends the list */
} IndexRequest;

#define KVL_REQUEST_SHARED 0x01u
#define KVL_LIST_END_BAD ((void *)(intptr_t)-1)

/* ------------------------------------------------------------------------ */
/* Locks                                                                     */
/* ------------------------------------------------------------------------ */

#define KVL_LOCKMODE_SHARED 0x01u
#define KVL_LOCKMODE_RELOCK 0x02u

/* One node of KvlLockEx / KvlUnlockEx. */
typedef struct LockRequest {
    void *control;          /* a DataHandle or an IndexHandle */
    uint32_t mode;          /* KVL_LOCKMODE_* */
    uint32_t first_record;  /* 0 = whole data file */
    uint32_t record_count;
    uint32_t state;         /* engine: bit 1 index lock held, bit 0 data lock held */
    uint8_t flags;          /* bit 7 on an index node: lock its data file too */
    uint8_t reserved[3];
    struct LockRequest *previous; /* engine */
    struct LockRequest *next;     /* 0 ends the list */
} LockRequest;

#define KVL_LOCKREQ_WITH_DATA 0x80u

/* ------------------------------------------------------------------------ */
/* Mutexes                                                                   */
/* ------------------------------------------------------------------------ */

typedef struct KvlMutex *KvlMutexHandle;
#define KVL_WAIT_FOREVER 0xFFFFFFFFu

/* ------------------------------------------------------------------------ */
/* Exported functions                                                        */
/* ------------------------------------------------------------------------ */

/* Engine variables, memory, system (engine frame). */
KVL_API uint32_t KvlGetVar(int32_t number, uint32_t *error_or_table);
KVL_API uint32_t KvlSetVar(uint32_t *value, int32_t number);
KVL_API void *KvlMemAlloc(uint32_t heap_kind, uint32_t size, uint32_t *error,
                          uint32_t zero_fill);
KVL_API uint32_t KvlMemFree(uint32_t heap_kind, void *block);
KVL_API uint32_t KvlGetMemoryAvail(uint32_t heap_kind);
KVL_API void *KvlMemSet(void *destination, uint32_t byte, uint32_t count);
KVL_API void *KvlMemCpy(void *destination, const void *source, uint32_t count);
KVL_API uint32_t KvlGetVersion(uint32_t *version);
KVL_API uint32_t KvlGetExtendedError(uint32_t *a, uint32_t *b, uint32_t *c, uint32_t *d);
KVL_API uint32_t KvlSetHandleCount(uint32_t *count);
KVL_API uint32_t KvlTestCallBack(uint32_t value);
KVL_API uint32_t KvlCreateMutexSem(const char *name, KvlMutexHandle *mutex,
                                   const void *security_attributes, uint32_t initial_owner);
KVL_API uint32_t KvlRequestMutexSem(KvlMutexHandle mutex, uint32_t milliseconds);
KVL_API uint32_t KvlReleaseMutexSem(KvlMutexHandle mutex);
KVL_API uint32_t KvlCloseMutexSem(KvlMutexHandle mutex);

/* OS file layer. */
KVL_API uint32_t KvlOpenFile(const char *path, uint32_t mode, uint32_t *handle,
                             const FileLayerTable *table);
KVL_API uint32_t KvlCreateFile(const char *path, const FileLayerTable *table);
KVL_API uint32_t KvlCloseFile(uint32_t *handle, const FileLayerTable *table);
KVL_API uint32_t KvlDeleteFile(const char *path, const FileLayerTable *table);
KVL_API uint32_t KvlMoveFile(const char *old_path, const char *new_path,
                             const FileLayerTable *table);
KVL_API uint32_t KvlCreateDir(const char *path, const FileLayerTable *table);
KVL_API uint32_t KvlReadFile(uint32_t handle, uint32_t *length, void *buffer,
                             const FileLayerTable *table);
KVL_API uint32_t KvlWriteFile(uint32_t handle, uint32_t *length, const void *buffer,
                              const FileLayerTable *table);
KVL_API uint32_t KvlReadAtFile(uint32_t handle, uint32_t *length, void *buffer,
                               uint32_t *position, const FileLayerTable *table);
KVL_API uint32_t KvlWriteAtFile(uint32_t handle, uint32_t *length, const void *buffer,
                                uint32_t *position, const FileLayerTable *table);
KVL_API uint32_t KvlSeekFile(uint32_t handle, uint32_t method, uint32_t *position,
                             const FileLayerTable *table);
KVL_API uint32_t KvlLengthFile(uint32_t handle, uint32_t *length, const FileLayerTable *table);
KVL_API uint32_t KvlUpdateDirEntry(uint32_t handle, const FileLayerTable *table);
KVL_API uint32_t KvlLockFile(uint32_t handle, uint32_t flags, uint32_t *offset,
                             uint32_t *length, uint32_t time_budget,
                             const FileLayerTable *table);
KVL_API uint32_t KvlIsRemote(uint32_t handle, uint32_t drive, uint32_t *remote,
                             uint32_t *kind, const FileLayerTable *table);

/* Collation and country. */
KVL_API uint32_t KvlGetSortSequenceTable(uint32_t code_page, uint32_t country,
                                         uint8_t *table, uint32_t flags);
KVL_API uint32_t KvlGetCountryInfo(uint32_t *code_page, uint32_t *country, uint32_t use_oem);
KVL_API uint32_t KvlUpperCaseO(char *text, uint32_t length, uint32_t zero_fill);

/* Data files. */
KVL_API uint32_t KvlDataInfoFile(const char *file_name, uint32_t open_mode, void *header,
                                 int32_t *field_count, const FileLayerTable *table);
KVL_API uint32_t KvlDataCreateFile(uint32_t version, uint32_t field_count,
                                   FieldDescriptor *descriptors, const char *file_name,
                                   uint32_t heap_kind, const FileLayerTable *table);
KVL_API uint32_t KvlDataOpenFile(DataHandle data, uint32_t open_flags);
KVL_API uint32_t KvlDataCloseFile(DataHandle data);
KVL_API uint32_t KvlDataFlushHeader(DataHandle data);
KVL_API uint32_t KvlDataCopyHeader(DataHandle data, const char *new_file_name);
KVL_API uint32_t KvlDataReadHeader(DataHandle data);
KVL_API uint32_t KvlDataZapHeader(DataHandle data);

/* Records. */
KVL_API uint32_t KvlDataAddRecord(DataHandle data, void *record, uint32_t *record_number);
KVL_API uint32_t KvlDataGetRecord(DataHandle data, uint32_t record_number, void *record);
KVL_API uint32_t KvlDataUpdateRecord(DataHandle data, uint32_t record_number, void *record);
KVL_API uint32_t KvlDataMarkRecord(DataHandle data, uint32_t record_number, uint32_t tag);
KVL_API uint32_t KvlDataDebumpRecord(DataHandle data, uint32_t record_number);

/* Sort and pack. */
KVL_API uint32_t KvlDataSort(const char *index_name, const char *data_name,
                             const char *new_data_name, KvlDataProgress progress,
                             const FileLayerTable *table);
KVL_API uint32_t KvlDataPack(const char *data_name, const char *new_data_name,
                             KvlDataProgress progress, const FileLayerTable *table);

/* Memo files. */
KVL_API uint32_t KvlMemoCreateFile(DataHandle data);
KVL_API uint32_t KvlMemoOpenFile(DataHandle data);
KVL_API uint32_t KvlMemoCloseFile(DataHandle data);
KVL_API uint32_t KvlMemoFlushHeader(DataHandle data);
KVL_API uint32_t KvlMemoReadHeader(DataHandle data);
KVL_API uint32_t KvlMemoAdd(DataHandle data, uint32_t reserved_size, uint32_t data_length,
                            const void *bytes, uint32_t *block, uint32_t mode);
KVL_API uint32_t KvlMemoDelete(DataHandle data, uint32_t block);
KVL_API uint32_t KvlMemoGet(DataHandle data, uint32_t block, uint32_t offset,
                            uint32_t *count, void *buffer);
KVL_API uint32_t KvlMemoGetSize(DataHandle data, uint32_t block, uint32_t *first_word,
                                uint32_t *size);
KVL_API uint32_t KvlMemoUpdate(DataHandle data, uint32_t *block, uint32_t offset,
                               uint32_t count, const void *bytes);

#define KVL_MEMO_RESERVE_ONLY 0x55AA55AAu

/* Index files. */
KVL_API uint32_t KvlIx4InfoFile(const char *file_name, uint32_t open_mode, void *buffer,
                                const FileLayerTable *table);
KVL_API uint32_t KvlIx4CreateFile(uint32_t node_size, uint32_t index_flags, uint32_t code_page,
                                  uint32_t country, const uint8_t *collation,
                                  char *expression, DataHandle data_link,
                                  const char *file_name, KvlParseExpression parse,
                                  uint32_t heap_kind, const FileLayerTable *table);
KVL_API uint32_t KvlIx4OpenFile(IndexHandle index, uint32_t open_flags);
KVL_API uint32_t KvlIx4CloseFile(IndexHandle index);
KVL_API uint32_t KvlIx4FlushHeader(IndexHandle index);
KVL_API uint32_t KvlIx4CopyHeader(IndexHandle index, const char *new_file_name);
KVL_API uint32_t KvlIx4ReadHeader(IndexHandle index);
KVL_API uint32_t KvlIx4ZapHeader(IndexHandle index);

/* Index keys. */
KVL_API uint32_t KvlIx4KeyForRecord(IndexHandle index, void *key, uint32_t record_number,
                                    void *record);
KVL_API uint32_t KvlIx4StoreKey(IndexHandle index, const void *key, uint32_t record_number);
KVL_API uint32_t KvlIx4DeleteKey(IndexHandle index, const void *key, uint32_t record_number);
KVL_API uint32_t KvlIx4EqualKey(IndexHandle index, void *key, uint32_t *record_number);
KVL_API uint32_t KvlIx4EqualOrGreaterKey(IndexHandle index, void *key, uint32_t *record_number);
KVL_API uint32_t KvlIx4EqualOrLesserKey(IndexHandle index, void *key, uint32_t *record_number);
KVL_API uint32_t KvlIx4FirstKey(IndexHandle index, void *key, uint32_t *record_number);
KVL_API uint32_t KvlIx4LastKey(IndexHandle index, void *key, uint32_t *record_number);
KVL_API uint32_t KvlIx4NextKey(IndexHandle index, void *key, uint32_t *record_number);
KVL_API uint32_t KvlIx4PrevKey(IndexHandle index, void *key, uint32_t *record_number);

/* Index keys with records. */
KVL_API uint32_t KvlIx4GetFirst(IndexHandle index, void *key, uint32_t *record_number,
                                void *record);
KVL_API uint32_t KvlIx4GetNext(IndexHandle index, void *key, uint32_t *record_number,
                               void *record);
KVL_API uint32_t KvlIx4GetPrev(IndexHandle index, void *key, uint32_t *record_number,
                               void *record);
KVL_API uint32_t KvlIx4GetLast(IndexHandle index, void *key, uint32_t *record_number,
                               void *record);
KVL_API uint32_t KvlIx4GetEqual(IndexHandle index, void *key, uint32_t *record_number,
                                void *record);
KVL_API uint32_t KvlIx4GetEqualOrGreater(IndexHandle index, void *key,
                                         uint32_t *record_number, void *record);
KVL_API uint32_t KvlIx4GetEqualOrLesser(IndexHandle index, void *key,
                                        uint32_t *record_number, void *record);

/* Insert and update. */
KVL_API uint32_t KvlIx4Insert(IndexHandle index, void *key, uint32_t *record_number,
                              void *record, uint32_t *state);
KVL_API uint32_t KvlIx4Update(IndexHandle index, void *key, uint32_t record_number,
                              void *record, uint32_t *state);
KVL_API uint32_t KvlIx4InsertEx(IndexRequest *first, uint32_t *failed_request);
KVL_API uint32_t KvlIx4UpdateEx(IndexRequest *first, uint32_t *failed_request,
                                uint32_t heap_kind);

/* Replaceable index functions. */
KVL_API uint32_t KvlFuncIx4ParseExp(IndexHandle index, uint32_t *key_length);
KVL_API uint32_t KvlFuncIx4BuildKey(IndexHandle index, void *record, void *key);
KVL_API uint32_t KvlFuncIx4BTM(uint32_t function, IndexHandle index, void *key,
                               uint32_t record_number);
KVL_API int32_t KvlFuncIx4SortCmp(IndexHandle index, const void *key_a, const void *key_b,
                                  void *buffer, uint32_t flag);
KVL_API uint32_t KvlFuncIx4Reindex(IndexHandle index, const char *work_file,
                                   uint32_t fill_percent, char *key_buffer,
                                   uint32_t *record_number);

/* Locks. */
KVL_API uint32_t KvlLockDataHeader(DataHandle data, uint32_t mode, uint32_t time_budget);
KVL_API uint32_t KvlUnlockDataHeader(DataHandle data);
KVL_API uint32_t KvlLockDataRecord(DataHandle data, uint32_t mode, uint32_t first_record,
                                   uint32_t record_count, uint32_t time_budget);
KVL_API uint32_t KvlUnlockDataRecord(DataHandle data, uint32_t first_record,
                                     uint32_t record_count);
KVL_API uint32_t KvlLockIx4File(IndexHandle index, uint32_t mode, uint32_t time_budget);
KVL_API uint32_t KvlUnlockIx4File(IndexHandle index);
KVL_API uint32_t KvlLockEx(LockRequest *first, uint32_t *failed_node, uint32_t time_budget);
KVL_API uint32_t KvlUnlockEx(LockRequest *first, uint32_t *failed_node);

/* Resolves an export by its plain, underscore or decorated name
 * ("KvlDataOpenFile", "_KvlDataOpenFile", "KvlDataOpenFile@8"); null when
 * unknown. */
KVL_API void *KvlProcAddress(const char *name);

#ifdef __cplusplus
}
#endif

#endif /* KORVAL32_H */
