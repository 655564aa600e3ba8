#pragma once

class QThreadPool;

// The threads that carry blocking router I/O (API exchanges, SFTP transfers, HTTP calls to
// routers). They are not the global pool's: a router that never answers holds one thread of
// this pool, and a call to a healthy router still starts at once because the pool makes a new
// thread whenever all of its threads are busy. Idle threads go after a while.
QThreadPool& routerThreadPool();
