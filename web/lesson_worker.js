// The lesson page's full speed: a second instance of the core
// (lesson_core.js) makes the moves in this worker while the page draws.
// The page sends a run as the core's record bytes; the worker moves it in
// slices and every postEvery ms sends back the record, with the samples
// taken since its last message (the batch runner's: T a multiple of the
// sample interval), until the run stops (frozen, or T at its limit). What
// it moved after its last message is dropped when the page says stop: the
// page holds a state of the run that the worker passed through, so going on
// from it makes the same moves.
'use strict';
importScripts('lesson_core.js');

const Slice = 5;  // ms of moves between looks at the page's messages and the clock
const Chunk = 500; // moves between looks at the clock
let core = null;
let generation = 0;  // the run being moved; 0: none
let postEvery = 30, lastPost = 0, samples = [];
const turns = new MessageChannel();  // a turn without the timers' 4 ms

createLessonCore().then(loaded => {
  core = loaded;
  postMessage({ready: true});
});

onmessage = ({data}) => {
  if (data.stop) {
    generation = 0;
    return;
  }
  core.record().set(new Uint8Array(data.record));
  const first = !generation;
  ({generation, postEvery} = data);
  samples = [];
  lastPost = performance.now();
  if (first) turns.port2.postMessage(null);
};

turns.port1.onmessage = () => {
  if (!generation) return;
  const every = core.sampleEvery(), deadline = performance.now() + Slice;
  let stopped = false;
  while (!stopped && performance.now() < deadline) {
    const moved = core.step(Chunk) > 0;
    stopped = core.frozen() || core.atLimit();
    if (moved && !core.frozen() && core.T() % every === 0) {
      samples.push({T: core.T(), measures: core.measures()});
    }
  }
  if (stopped || performance.now() - lastPost >= postEvery) {
    const record = core.record().slice().buffer;
    postMessage({generation, record, samples, stopped}, [record]);
    samples = [];
    lastPost = performance.now();
  }
  if (stopped) generation = 0;
  else turns.port2.postMessage(null);
};
