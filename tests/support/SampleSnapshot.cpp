#include "support/SampleSnapshot.h"

namespace torven::test {

namespace {

DeviceSnapshot connectedDevice() {
    DeviceSnapshot device;
    device.port = "COM3";
    device.connectedPort = "COM3";
    device.typeName = "DI-194RS";
    device.connected = true;
    device.failedReads = 4;
    StreamSnapshot stream;
    stream.id = "HT1_123456";
    stream.typeName = "KORALI-VX";
    stream.status = "LOGGING";
    stream.statusCode = 2;
    stream.sampleInterval = 1;
    stream.rowsWritten = 100;
    stream.lastRowTime = 1304467215;  // 2011-05-04 00:00:15
    stream.currentFileName = "20110504_000000_HT1_123456.csv";
    device.channels.push_back({1, 12.345, "+12.345", stream});
    device.channels.push_back({2, std::nullopt, "........", std::nullopt});
    return device;
}

DeviceSnapshot disconnectedDevice() {
    DeviceSnapshot device;
    device.port = "COM7";
    device.connectedPort = "COM7";
    device.typeName = "DI-194RS";
    device.reconnections = 2;
    device.failedHandshakes = 5;
    StreamSnapshot stream;
    stream.id = awkwardStreamId;
    stream.typeName = "KORALI-VX";
    stream.status = "COM LINK OFF";
    stream.statusCode = 4;
    stream.sampleInterval = 10;
    stream.fileWriteErrors = 1;
    device.channels.push_back({1, std::nullopt, "........", stream});
    return device;
}

}  // namespace

StatusSnapshot sampleSnapshot() {
    StatusSnapshot snapshot;
    snapshot.version = "0.40";
    snapshot.mode = "DATALOG";
    snapshot.modeText = "DATALOG";
    snapshot.site = "North Ridge";
    snapshot.lastPassTime = 1304467215;
    snapshot.lastPassText = "2011-05-04 00:00:15";
    snapshot.startTime = 1304380800;
    snapshot.eventLogLines = {1, 20, 3, 0, 0};
    snapshot.finishedFilesWaiting = 1;
    snapshot.devices = {connectedDevice(), disconnectedDevice()};
    return snapshot;
}

}  // namespace torven::test
