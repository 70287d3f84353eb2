// The XML object model in one include: implementation, documents and every node kind,
// lists, maps and traversal objects.
#pragma once

#include "XmlDomCharData.h"
#include "XmlDomContentModel.h"
#include "XmlDomDecls.h"
#include "XmlDomDocument.h"
#include "XmlDomElements.h"
#include "XmlDomImpl.h"
#include "XmlDomLists.h"
#include "XmlDomNodes.h"
#include "XmlDomSchema.h"
#include "XmlDomTraversal.h"
#include "XmlErrors.h"
