#pragma once

namespace update {

struct sUpdateStruct;

// Receives what the lobby link reads from the lobby client, on the link's own
// thread: one whole task record per call (the link cuts the stream into records).
// The link never owns or deletes its receiver.
class ISimpleSocket {
public:
    virtual void OnSocketReceive(const char* data, int length) = 0;

protected:
    ~ISimpleSocket() = default;
};

// A second intake of task records that hands over a record already in memory;
// the second argument carries nothing.
class IAnonymousPipe {
public:
    virtual void ReadAnonymousPipe(const sUpdateStruct* record, int unused) = 0;

protected:
    ~IAnonymousPipe() = default;
};

} // namespace update
