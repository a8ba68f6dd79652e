// export_list.h - the engine's 100 exports with the byte counts of their
// decorated names (four bytes an argument).  KvlProcAddress and the export
// tests walk this one list; nothing else repeats it.
//
// Use: #define X(name, bytes) ... then KVL_EXPORTS(X).
#ifndef KVL_CORE_EXPORT_LIST_H
#define KVL_CORE_EXPORT_LIST_H

#define KVL_EXPORTS(X)                 \
    /* data files */                   \
    X(KvlDataInfoFile, 20)             \
    X(KvlDataCreateFile, 24)           \
    X(KvlDataOpenFile, 8)              \
    X(KvlDataCloseFile, 4)             \
    X(KvlDataFlushHeader, 4)           \
    X(KvlDataCopyHeader, 8)            \
    X(KvlDataReadHeader, 4)            \
    X(KvlDataZapHeader, 4)             \
    /* records */                      \
    X(KvlDataAddRecord, 12)            \
    X(KvlDataDebumpRecord, 8)          \
    X(KvlDataMarkRecord, 12)           \
    X(KvlDataUpdateRecord, 12)         \
    X(KvlDataGetRecord, 12)            \
    /* sort and pack */                \
    X(KvlDataSort, 20)                 \
    X(KvlDataPack, 16)                 \
    /* memo files */                   \
    X(KvlMemoCreateFile, 4)            \
    X(KvlMemoOpenFile, 4)              \
    X(KvlMemoCloseFile, 4)             \
    X(KvlMemoFlushHeader, 4)           \
    X(KvlMemoReadHeader, 4)            \
    X(KvlMemoAdd, 24)                  \
    X(KvlMemoDelete, 8)                \
    X(KvlMemoGet, 20)                  \
    X(KvlMemoGetSize, 16)              \
    X(KvlMemoUpdate, 20)               \
    /* index files */                  \
    X(KvlIx4InfoFile, 16)              \
    X(KvlIx4CreateFile, 44)            \
    X(KvlIx4OpenFile, 8)               \
    X(KvlIx4CloseFile, 4)              \
    X(KvlIx4FlushHeader, 4)            \
    X(KvlIx4CopyHeader, 8)             \
    X(KvlIx4ReadHeader, 4)             \
    X(KvlIx4ZapHeader, 4)              \
    /* index keys */                   \
    X(KvlIx4KeyForRecord, 16)          \
    X(KvlIx4StoreKey, 12)              \
    X(KvlIx4DeleteKey, 12)             \
    X(KvlIx4EqualKey, 12)              \
    X(KvlIx4EqualOrGreaterKey, 12)     \
    X(KvlIx4EqualOrLesserKey, 12)      \
    X(KvlIx4FirstKey, 12)              \
    X(KvlIx4LastKey, 12)               \
    X(KvlIx4NextKey, 12)               \
    X(KvlIx4PrevKey, 12)               \
    /* index keys with records */      \
    X(KvlIx4GetFirst, 16)              \
    X(KvlIx4GetNext, 16)               \
    X(KvlIx4GetPrev, 16)               \
    X(KvlIx4GetLast, 16)               \
    X(KvlIx4GetEqual, 16)              \
    X(KvlIx4GetEqualOrGreater, 16)     \
    X(KvlIx4GetEqualOrLesser, 16)      \
    /* insert and update */            \
    X(KvlIx4Insert, 20)                \
    X(KvlIx4Update, 20)                \
    X(KvlIx4InsertEx, 8)               \
    X(KvlIx4UpdateEx, 12)              \
    /* replaceable index functions */  \
    X(KvlFuncIx4ParseExp, 8)           \
    X(KvlFuncIx4BuildKey, 12)          \
    X(KvlFuncIx4BTM, 16)               \
    X(KvlFuncIx4SortCmp, 20)           \
    X(KvlFuncIx4Reindex, 20)           \
    /* locks */                        \
    X(KvlLockDataHeader, 12)           \
    X(KvlUnlockDataHeader, 4)          \
    X(KvlLockDataRecord, 20)           \
    X(KvlUnlockDataRecord, 12)         \
    X(KvlLockIx4File, 12)              \
    X(KvlUnlockIx4File, 4)             \
    X(KvlLockEx, 12)                   \
    X(KvlUnlockEx, 8)                  \
    /* OS file layer */                \
    X(KvlOpenFile, 16)                 \
    X(KvlCreateFile, 8)                \
    X(KvlCloseFile, 8)                 \
    X(KvlDeleteFile, 8)                \
    X(KvlMoveFile, 12)                 \
    X(KvlCreateDir, 8)                 \
    X(KvlReadFile, 16)                 \
    X(KvlWriteFile, 16)                \
    X(KvlReadAtFile, 20)               \
    X(KvlWriteAtFile, 20)              \
    X(KvlSeekFile, 16)                 \
    X(KvlLengthFile, 12)               \
    X(KvlUpdateDirEntry, 8)            \
    X(KvlLockFile, 24)                 \
    X(KvlIsRemote, 20)                 \
    /* collation and country */        \
    X(KvlGetSortSequenceTable, 16)     \
    X(KvlGetCountryInfo, 12)           \
    X(KvlUpperCaseO, 12)               \
    /* engine variables */             \
    X(KvlGetVar, 8)                    \
    X(KvlSetVar, 8)                    \
    /* memory */                       \
    X(KvlMemAlloc, 16)                 \
    X(KvlMemFree, 8)                   \
    X(KvlGetMemoryAvail, 4)            \
    X(KvlMemSet, 12)                   \
    X(KvlMemCpy, 12)                   \
    /* system */                       \
    X(KvlGetVersion, 4)                \
    X(KvlGetExtendedError, 16)         \
    X(KvlSetHandleCount, 4)            \
    X(KvlTestCallBack, 4)              \
    /* mutexes */                      \
    X(KvlCreateMutexSem, 16)           \
    X(KvlRequestMutexSem, 8)           \
    X(KvlReleaseMutexSem, 4)           \
    X(KvlCloseMutexSem, 4)

#endif  // KVL_CORE_EXPORT_LIST_H
