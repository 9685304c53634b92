#pragma once

#include <algorithm>
#include <vector>

#include <boost/shared_array.hpp>

namespace faceloom {

// The record's arrays are exactly sized copies of the lists they were gathered in.
template <typename T>
boost::shared_array<T> toSharedArray(const std::vector<T>& list) {
    boost::shared_array<T> array(new T[list.size()]);
    std::copy(list.begin(), list.end(), array.get());
    return array;
}

}  // namespace faceloom
