// The sample reader: whole frames into the host's buffer with one fread per call, and on the
// first call after a header read the hand-over of cue points, texts, regions and the play list
// into the records of the host's lists.
#include "wave_plugin.h"

#include <cstdlib>
#include <cstring>

#include "key_index.h"

namespace {

unsigned char* At(void* record, std::size_t offset) {
    return static_cast<unsigned char*>(record) + offset;
}

void PutI32(void* record, std::size_t offset, std::int32_t v) {
    std::memcpy(At(record, offset), &v, sizeof v);
}
std::int32_t GetI32(void* record, std::size_t offset) {
    std::int32_t v;
    std::memcpy(&v, At(record, offset), sizeof v);
    return v;
}
void PutI64(void* record, std::size_t offset, std::int64_t v) {
    std::memcpy(At(record, offset), &v, sizeof v);
}

// Fills one host marker from one cue.
void FillMarker(void* marker, const CueRecord& cue) {
    PutI64(marker, host_marker::kStart, cue.start);
    PutI32(marker, host_marker::kMarkerType, cue.markerType);
    if (cue.note[0] != '\0')
        std::memcpy(At(marker, host_marker::kNote), cue.note, std::strlen(cue.note) + 1);
    if (cue.label[0] != '\0')
        std::memcpy(At(marker, host_marker::kLabel), cue.label, std::strlen(cue.label) + 1);
    if (cue.markerType == kMarkerRegion) {
        if (cue.end > cue.start)
            PutI64(marker, host_marker::kEnd, cue.end);
        else
            PutI32(marker, host_marker::kMarkerType, kMarkerPlain);
    }
    if (GetI32(marker, host_marker::kMarkerType) == kMarkerPlain)
        PutI32(marker, host_marker::kPointFlag, 1);
}

// The elements of a list, in order, in one array (null elements included); null when the
// memory cannot be had. count receives the number of elements.
void** Elements(const CPtrList& list, int* count) {
    int n = 0;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr; list.GetNext(pos))
        ++n;
    *count = n;
    void** elements = static_cast<void**>(std::malloc((n > 0 ? n : 1) * sizeof(void*)));
    if (elements == nullptr)
        return nullptr;
    int i = 0;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        elements[i++] = list.GetNext(pos);
    return elements;
}

void StoreEntryMarker(void* entry, void* marker) {
    std::memcpy(At(entry, host_play_list_entry::kMarker), &marker, sizeof marker);
}

} // namespace

void WavePlugin::HandOver() {
    if (hostMarkers != nullptr) {
        POSITION hostPos = hostMarkers->GetHeadPosition();
        POSITION cuePos = cues.GetHeadPosition();
        while (hostPos != nullptr && cuePos != nullptr) {
            void* marker = hostMarkers->GetNext(hostPos);
            CueRecord* cue = static_cast<CueRecord*>(cues.GetNext(cuePos));
            if (marker != nullptr && cue != nullptr)
                FillMarker(marker, *cue);
        }
    }
    cueCount = 0;
    if (playListCount > 0) {
        if (hostPlayList != nullptr)
            HandOverPlayList();
        playListCount = 0;
    }
}

// Every cue whose id matches a segment's makes the marker at its position a play-list marker,
// and the last such cue decides which marker the entry points at. The positions of each id are
// chained once, so each segment costs no more than its own matches.
void WavePlugin::HandOverPlayList() {
    int cueTotal = 0;
    int markerTotal = 0;
    void** cueArray = Elements(cues, &cueTotal);
    void** markers = hostMarkers != nullptr ? Elements(*hostMarkers, &markerTotal) : nullptr;
    int* nextSame = static_cast<int*>(std::malloc((cueTotal > 0 ? cueTotal : 1) * sizeof(int)));
    KeyIndex ids;
    bool ready = cueArray != nullptr && nextSame != nullptr &&
                 (hostMarkers == nullptr || markers != nullptr);
    for (int i = 0; ready && i < cueTotal; ++i) {
        nextSame[i] = -1;
        std::uint32_t id = static_cast<CueRecord*>(cueArray[i])->CueId();
        KeyIndex::Entry* e = ids.Find(id);
        if (e != nullptr)
            nextSame[e->last] = i;
        ready = ids.Add(id, i);
    }
    if (!ready) {
        std::free(cueArray);
        std::free(markers);
        std::free(nextSame);
        HandOverPlayListPlain();
        return;
    }
    POSITION entryPos = hostPlayList->GetHeadPosition();
    POSITION segmentPos = playList.GetHeadPosition();
    while (entryPos != nullptr && segmentPos != nullptr) {
        void* entry = hostPlayList->GetNext(entryPos);
        PlayListRecord* segment = static_cast<PlayListRecord*>(playList.GetNext(segmentPos));
        if (entry == nullptr || segment == nullptr)
            continue;
        KeyIndex::Entry* e = ids.Find(segment->cueId);
        if (e == nullptr)
            continue;
        if (e->aux == 0) {
            for (int i = e->first; i >= 0; i = nextSame[i])
                if (i < markerTotal && markers[i] != nullptr)
                    PutI32(markers[i], host_marker::kMarkerType, kMarkerInPlayList);
            e->aux = 1;
        }
        StoreEntryMarker(entry, e->last < markerTotal ? markers[e->last] : nullptr);
    }
    std::free(cueArray);
    std::free(markers);
    std::free(nextSame);
}

// The same pairing by plain search, for when memory for the index cannot be had.
void WavePlugin::HandOverPlayListPlain() {
    POSITION entryPos = hostPlayList->GetHeadPosition();
    POSITION segmentPos = playList.GetHeadPosition();
    while (entryPos != nullptr && segmentPos != nullptr) {
        void* entry = hostPlayList->GetNext(entryPos);
        PlayListRecord* segment = static_cast<PlayListRecord*>(playList.GetNext(segmentPos));
        if (entry == nullptr || segment == nullptr)
            continue;
        int index = 0;
        for (POSITION pos = cues.GetHeadPosition(); pos != nullptr; ++index) {
            CueRecord* cue = static_cast<CueRecord*>(cues.GetNext(pos));
            if (cue->CueId() != segment->cueId)
                continue;
            POSITION node = hostMarkers != nullptr ? hostMarkers->FindIndex(index) : nullptr;
            void* marker = node != nullptr ? hostMarkers->GetAt(node) : nullptr;
            if (marker != nullptr)
                PutI32(marker, host_marker::kMarkerType, kMarkerInPlayList);
            StoreEntryMarker(entry, marker);
        }
    }
}

std::int32_t WavePlugin::ReadSamples(void* buffer, std::int32_t bufferBytes) {
    if (cueCount > 0)
        HandOver();
    if (file == nullptr || buffer == nullptr || bufferBytes < 0)
        return 0;
    std::int64_t frameBytes = static_cast<std::int64_t>(info.channels) * info.bitsPerSample / 8;
    if (frameBytes <= 0)
        return 0;
    std::int64_t wanted = bufferBytes / frameBytes;
    if (wanted > framesRemaining)
        wanted = framesRemaining;
    std::size_t got = 0;
    if (wanted > 0)
        got = std::fread(buffer, static_cast<std::size_t>(frameBytes),
                         static_cast<std::size_t>(wanted), file);
    SetFramesRemaining(static_cast<std::int64_t>(framesRemaining) - static_cast<std::int64_t>(got));
    if (info.bitsPerSample == 8) {
        unsigned char* bytes = static_cast<unsigned char*>(buffer);
        std::size_t n = got * static_cast<std::size_t>(info.channels);
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] ^= 0x80;
    }
    return static_cast<std::int32_t>(got);
}
