// Looking up the staged files' resources by id.
#include "staging/resource_extractor.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "staging/staging_test.h"

using namespace kelvra::staging;

TEST_F(StagingTest, LookupOfAnAbsentIdNamesItAndLeavesTheRecord) {
  LoadedResource resource;
  EXPECT_TRUE(extractor.loadResource(resource, 146, kRawDataResourceType));
  EXPECT_TRUE(extractor.loadResource(resource, kFrontEndResourceId, kIconResourceType));
  EXPECT_EQ(resource.data, nullptr);
  EXPECT_EQ(resource.size, 0u);
  EXPECT_EQ(log.messages(), (std::vector<std::string>{"[error] Failed to find resource. Resource id: 146.",
                                                      "[error] Failed to find resource. Resource id: 129."}));
}

TEST_F(StagingTest, ExtractorCopiesLogToTheSameFile) {
  const ResourceExtractor copy = extractor;
  LoadedResource resource;
  EXPECT_TRUE(copy.loadResource(resource, 7, kRawDataResourceType));
  EXPECT_TRUE(extractor.loadResource(resource, 8, kRawDataResourceType));
  EXPECT_EQ(log.messages().size(), 2u);
}
