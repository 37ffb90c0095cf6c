#ifndef LAUNCHER_KIT_KIT_CACHE_H_
#define LAUNCHER_KIT_KIT_CACHE_H_

#include <string>

#include "kit/kit_checks.h"
#include "platform/platform_services.h"

// The kit cache: an elevated run of a pinned launcher never starts anything
// from its own folder, which others may be able to write. It copies the
// pinned files into a fresh folder that only administrators can write,
// checking each copy against its pin as it is written, and starts the new
// installer there. Nothing of the kit folder is held: whoever keeps a kit
// file open stands in the way only as long as they share nothing with the
// launcher, and then for a bounded time.

// Caches are named this prefix followed by 16 hexadecimal digits: 64 bits of
// the system's random generator.
extern const char kCachePrefix[];

// The folder of the launcher's own, directly in the Windows folder, that
// holds the caches where SystemTemp cannot.
extern const char kCacheParentName[];

// Makes a fresh cache (CreateCache, after SweepOldCaches) in a folder in
// which no account but SYSTEM and Administrators can make an entry, so
// that nobody else can ever make the name of a cache again, which a
// deletion at the next restart follows: the Windows folder's SystemTemp
// where it is there and, read through its handle, owned by Administrators
// or SYSTEM with a protected DACL that lets nobody else write, and a cache
// can be made in it; else the launcher's own folder in the Windows folder
// (kCacheParentName), made so when it is missing (only administrators can
// make one there). The parent is held open in `hold`. False when the
// Windows folder is unknown, or the launcher's own folder is there but
// fails that check, or no cache can be made: then nothing may be cached.
// Never the Windows folder's Temp, in which users make entries, nor the
// caller's TMP, nor the kit folder.
bool CreateFreshCache(PlatformServices& platform, KitHold* hold,
                      std::string* cache);

// Makes a fresh cache in `parent` and holds it (open, not a link, so that
// it can be neither renamed nor removed) in `hold`; its path goes to
// `cache`. A name that is taken is never used: another one is drawn, a few
// times, and then the launcher gives up. Before it is used, the folder
// held is checked to be the one made: owned by Administrators or SYSTEM,
// with the protected DACL that grants them alone. False on any failure;
// what stands at the name then is removed only when it is empty or a
// link, and `cache` stays untouched.
bool CreateCache(PlatformServices& platform, const std::string& parent,
                 KitHold* hold, std::string* cache);

// Copies each pinned file from L into `cache` in one pass: each file is
// read once, and its bytes are hashed as they are written; its size and
// digest must be the pinned ones. The copies are then held shared for
// reading only, until they have been used. A kit file that another
// process keeps from being read is asked for again with growing pauses,
// for about 10 s in all. False when a file is missing, differs, stays
// unreadable or cannot be written: then nothing may be started.
bool CopyPinnedKit(PlatformServices& platform, const std::string& L,
                   const std::string& cache, const KitPins& pins,
                   KitHold* hold);

// Schedules the cache for deletion at the next restart: each file in it,
// whatever the kit held, then the folder. The restart deletes by name and
// follows a link that has taken the folder's place, so from the first call
// on the folder must stay until then (its files may go).
bool ScheduleCacheDeletion(PlatformServices& platform,
                           const std::string& cache);

// Deletes the caches that earlier runs left in `parent`: folders named as
// caches, made by administrators alone (as CreateCache checks), made before
// Windows last started (by more than a day, for a clock set forward since),
// whose data.exe can be deleted (one that is running cannot). A cache made
// since is never touched: it may be named in a deletion at the next
// restart, and what its data.exe handed its work to may still read its
// setup.iss. Each is held while it is emptied. A link so named is removed
// as a link; nothing is followed, as in the deletion of the maintenance
// folder.
void SweepOldCaches(PlatformServices& platform, const std::string& parent);

// The whole of it for one run: the caches earlier runs left deleted, then a
// fresh cache holding the verified copy of the pinned kit of L, held, and,
// with `until_restart`, scheduled for deletion at the next restart (the
// default build, which does not wait for the new installer). False when
// anything fails; a cache made by then is deleted again, but for its
// folder once its deletion at restart was asked for.
bool CacheKit(PlatformServices& platform, const std::string& L,
              const KitPins& pins, KitHold* hold, std::string* cache,
              bool until_restart);

// Releases `hold` and deletes `cache` (when there is one) at once: what it
// holds, and the folder itself unless it is scheduled for deletion at the
// next restart (`until_restart`), when it stays, empty, until then.
void DiscardCache(PlatformServices& platform, const std::string& cache,
                  KitHold* hold, bool until_restart);

#endif  // LAUNCHER_KIT_KIT_CACHE_H_
