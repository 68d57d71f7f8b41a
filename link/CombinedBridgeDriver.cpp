#include "link/CombinedBridgeDriver.h"

#include <utility>

CombinedBridgeDriver::CombinedBridgeDriver(std::vector<std::unique_ptr<BridgeDriver>> parts)
    : m_parts(std::move(parts)), m_counts(m_parts.size(), 0) {}

uint32_t CombinedBridgeDriver::GetNumDevices(uint32_t& count) {
    uint32_t total = 0;
    uint32_t failure = BridgeResult::kSuccess;
    bool anyListed = false;
    for (std::size_t i = 0; i < m_parts.size(); ++i) {
        uint32_t partCount = 0;
        // A library that finds nothing answers "device not found" with a count of 0.
        const uint32_t result = m_parts[i]->GetNumDevices(partCount);
        m_counts[i] = result == BridgeResult::kSuccess ? partCount : 0;
        anyListed = anyListed || result == BridgeResult::kSuccess;
        failure = result == BridgeResult::kSuccess ? failure : result;
        total += m_counts[i];
    }
    if (!anyListed && !m_parts.empty()) {
        return failure;
    }
    count = total;
    return BridgeResult::kSuccess;
}

uint32_t CombinedBridgeDriver::GetProductString(uint32_t index, char* buffer256, uint32_t selector) {
    uint32_t partIndex = 0;
    BridgeDriver* part = PartOf(index, partIndex);
    return part ? part->GetProductString(partIndex, buffer256, selector) : BridgeResult::kDeviceNotFound;
}

uint32_t CombinedBridgeDriver::Open(uint32_t index, DeviceHandle& handle) {
    handle = kInvalidHandle;
    uint32_t partIndex = 0;
    BridgeDriver* part = PartOf(index, partIndex);
    if (part == nullptr) {
        return BridgeResult::kDeviceNotFound;
    }
    DeviceHandle partHandle = kInvalidHandle;
    if (const uint32_t result = part->Open(partIndex, partHandle); result != BridgeResult::kSuccess) {
        return result;
    }
    handle = m_nextHandle++;
    m_opened.emplace(handle, Opened{part, partHandle});
    return BridgeResult::kSuccess;
}

uint32_t CombinedBridgeDriver::Close(DeviceHandle handle) {
    const Opened* opened = Find(handle);
    if (opened == nullptr) {
        return BridgeResult::kInvalidHandle;
    }
    const uint32_t result = opened->part->Close(opened->handle);
    m_opened.erase(handle);
    return result;
}

uint32_t CombinedBridgeDriver::Read(DeviceHandle handle, uint8_t* buffer, uint32_t count,
                                    uint32_t& bytesRead) {
    const Opened* opened = Find(handle);
    return opened ? opened->part->Read(opened->handle, buffer, count, bytesRead)
                  : BridgeResult::kInvalidHandle;
}

uint32_t CombinedBridgeDriver::Write(DeviceHandle handle, const uint8_t* buffer, uint32_t count,
                                     uint32_t& bytesWritten) {
    const Opened* opened = Find(handle);
    return opened ? opened->part->Write(opened->handle, buffer, count, bytesWritten)
                  : BridgeResult::kInvalidHandle;
}

uint32_t CombinedBridgeDriver::FlushBuffers(DeviceHandle handle, bool transmit, bool receive) {
    const Opened* opened = Find(handle);
    return opened ? opened->part->FlushBuffers(opened->handle, transmit, receive)
                  : BridgeResult::kInvalidHandle;
}

uint32_t CombinedBridgeDriver::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
    uint32_t result = BridgeResult::kSuccess;
    for (const auto& part : m_parts) {
        if (const uint32_t partResult = part->SetTimeouts(readMs, writeMs);
            result == BridgeResult::kSuccess) {
            result = partResult;
        }
    }
    return result;
}

uint32_t CombinedBridgeDriver::GetTimeouts(uint32_t& readMs, uint32_t& writeMs) {
    return m_parts.empty() ? BridgeResult::kSystemError : m_parts.front()->GetTimeouts(readMs, writeMs);
}

uint32_t CombinedBridgeDriver::SetBaudRate(DeviceHandle handle, uint32_t baudRate) {
    const Opened* opened = Find(handle);
    return opened ? opened->part->SetBaudRate(opened->handle, baudRate) : BridgeResult::kInvalidHandle;
}

uint32_t CombinedBridgeDriver::SetLineControl(DeviceHandle handle, uint16_t word) {
    const Opened* opened = Find(handle);
    return opened ? opened->part->SetLineControl(opened->handle, word) : BridgeResult::kInvalidHandle;
}

uint32_t CombinedBridgeDriver::SetFlowControl(DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr,
                                              uint8_t dsr, uint8_t dcd, bool xonXoff) {
    const Opened* opened = Find(handle);
    return opened ? opened->part->SetFlowControl(opened->handle, cts, rts, dtr, dsr, dcd, xonXoff)
                  : BridgeResult::kInvalidHandle;
}

uint32_t CombinedBridgeDriver::CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) {
    const Opened* opened = Find(handle);
    return opened ? opened->part->CheckRxQueue(opened->handle, bytesWaiting) : BridgeResult::kInvalidHandle;
}

uint32_t CombinedBridgeDriver::WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) {
    for (const auto& part : m_parts) {
        if (part->WatchArrivals(watch) == BridgeResult::kSuccess && watch) {
            return BridgeResult::kSuccess;
        }
    }
    watch.reset();
    return BridgeResult::kSystemError;
}

BridgeDriver* CombinedBridgeDriver::PartOf(uint32_t index, uint32_t& partIndex) const {
    for (std::size_t i = 0; i < m_parts.size(); ++i) {
        if (index < m_counts[i]) {
            partIndex = index;
            return m_parts[i].get();
        }
        index -= m_counts[i];
    }
    return nullptr;
}

const CombinedBridgeDriver::Opened* CombinedBridgeDriver::Find(DeviceHandle handle) const {
    const auto found = m_opened.find(handle);
    return found != m_opened.end() ? &found->second : nullptr;
}
