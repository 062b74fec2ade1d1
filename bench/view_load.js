// The browser view under load: N MQTT-over-WebSocket subscribers of the
// view, and the venue's records sent as UDP datagrams at a steady rate.
// For each record and subscriber: the time from sending the datagram to the
// first scratch document that reflects it (its "sequence" at or past the
// record's). Run by view_bench.py; writes a JSON summary to standard output.
//
// node view_load.js NPM_DIR WS_URL TOPIC USER PASSWORD SUBSCRIBERS RATE SECONDS
'use strict';

const [npmDir, url, topic, user, password, subscriberText, rateText, secondsText] =
    process.argv.slice(2);
const mqtt = require(npmDir + '/node_modules/mqtt');
const dgram = require('dgram');

const subscribers = Number(subscriberText);
const rate = Number(rateText);
const records = Math.round(rate * Number(secondsText));
const now = () => performance.timeOrigin + performance.now();  // ms, wall clock

const sent = new Float64Array(records + 1);   // by record number, 0 the primer
const latencies = [];                          // ms, every record at every subscriber
const docLatencies = [];                       // ms, arrival less the document's received_us
let offset = null;                             // the primer's sequence number
let documents = 0;

function percentile(values, p) {
  if (values.length === 0) return null;
  const sorted = Float64Array.from(values).sort();
  return sorted[Math.min(sorted.length - 1, Math.floor(sorted.length * p))];
}

function subscribe(index) {
  return new Promise((resolve, reject) => {
    const client = mqtt.connect(url, {username: user, password, reconnectPeriod: 0,
                                      clientId: 'bench-view-' + index, clean: true});
    let seen = 0;  // the last record this subscriber has seen reflected
    client.on('message', (t, payload) => {
      if (!t.endsWith('/view/scratch') || offset === null) return;
      const arrived = now();
      // Only two numbers are wanted: found in the text, not by parsing all
      // of it, so 200 subscribers in one process add little to what is timed.
      const text = payload.toString('latin1');
      const doc = {sequence: Number(/"sequence":(\d+)/.exec(text)[1]),
                   received_us: Number(/"received_us":(\d+)/.exec(text)[1])};
      documents += 1;
      const upTo = Math.min(records, doc.sequence - offset);
      for (let k = Math.max(seen + 1, 1); k <= upTo; ++k) {
        if (sent[k] > 0) latencies.push(arrived - sent[k]);
      }
      if (upTo > seen) seen = upTo;
      if (doc.received_us > 0 && upTo >= 1) docLatencies.push(arrived - doc.received_us / 1000);
    });
    client.on('connect', () => client.subscribe(topic + '/view/#', {qos: 1}, (error) => {
      if (error) reject(error); else resolve(client);
    }));
    client.on('error', reject);
  });
}

async function main() {
  const clients = [];
  for (let i = 0; i < subscribers; ++i) clients.push(await subscribe(i));
  // The primer: the sequence number the publisher gives record 0.
  const socket = dgram.createSocket('udp4');
  const send = (text) => new Promise((resolve) => socket.send(Buffer.from(text), 29105, '127.0.0.1', resolve));
  const primer = new Promise((resolve) => {
    clients[0].on('message', (t, payload) => {
      const doc = JSON.parse(payload.toString());
      if (t.endsWith('/view/scratch') && offset === null &&
          doc.competitors.rows.some((row) => row[2] === 'PRIMER')) {
        offset = doc.sequence;
        resolve();
      }
    });
  });
  await send('{scratch}+{list}49{name}PRIMER');
  await primer;
  await new Promise((resolve) => setTimeout(resolve, 500));
  const start = now();
  for (let k = 1; k <= records; ++k) {
    const due = start + (k - 1) * 1000 / rate;
    const wait = due - now();
    if (wait > 0) await new Promise((resolve) => setTimeout(resolve, wait));
    sent[k] = now();
    await send(`{scratch}+{list}${k % 40}{rank}${k % 40 + 1}{bib}${k}{name}RIDER ${k}{nat}BEL{laps}${k}`);
  }
  const sendSeconds = (now() - start) / 1000;
  await new Promise((resolve) => setTimeout(resolve, 2000));
  for (const client of clients) client.end(true);
  socket.close();
  const expected = records * subscribers;
  console.log(JSON.stringify({
    subscribers, rate, records, send_seconds: sendSeconds, documents,
    measured: latencies.length, expected,
    p50_ms: percentile(latencies, 0.50), p95_ms: percentile(latencies, 0.95),
    p99_ms: percentile(latencies, 0.99), max_ms: percentile(latencies, 1),
    newest_record_p50_ms: percentile(docLatencies, 0.50),
    newest_record_p95_ms: percentile(docLatencies, 0.95),
  }));
  process.exit(0);
}

main().catch((error) => { console.error(String(error)); process.exit(1); });
